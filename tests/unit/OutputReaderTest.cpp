#include <gtest/gtest.h>

#include <windows.h>

#include <deque>
#include <string>
#include <vector>

#include "common/UniqueResource.h"
#include "logging/LogLevel.h"
#include "logging/OutputLog.h"
#include "process/LogPipeReader.h"
#include "process/OutputDecoder.h"
#include "process/OutputPipe.h"
#include "process/OutputReader.h"
#include "process/PipeReaderCallback.h"
#include "process/ServiceStatusUpdater.h"
#include "service/ServiceStatus.h"
#include "service/StatusValue.h"
#include "support/LoggingCapture.h"
#include "support/TestFiles.h"

namespace {

struct Lines : PipeReaderCallback {
    std::vector<std::wstring> received;
    void onLine(const std::wstring& line) override { received.push_back(line); }
};

BOOL WINAPI acceptStatus(SERVICE_STATUS_HANDLE, LPSERVICE_STATUS) { return TRUE; }

// Feeds the bytes to the updater in reads of the given size, as the reader does.
bool markerSeen(const std::string& output, size_t readSize, Lines& lines)
{
    ServiceStatus status(nullptr, 0, acceptStatus);
    TokenFilteringServiceStatusUpdater updater(&status, &lines, L"READY");
    OutputDecoder decoder(OutputEncoding::automatic());
    for (size_t at = 0; at < output.size(); at += readSize) {
        decoder.append(
            CP_UTF8, output.data() + at, std::min(readSize, output.size() - at),
            [&](const std::wstring& line) { updater.onLine(line); },
            [&](const std::wstring& piece) { updater.onPiece(piece); });
    }
    const bool seen = updater.hasReported();
    status.setStatus(StatusValue::STOPPED);
    return seen;
}

}  // namespace

TEST(OutputRead, ZeroBytesAreAWriteOfNothingAndOnlyTheEndOfThePipeEndsTheCapture)
{
    EXPECT_EQ(readResult(true, 12, ERROR_SUCCESS), ReadResult::Data);
    EXPECT_EQ(readResult(true, 0, ERROR_SUCCESS), ReadResult::Nothing);
    EXPECT_EQ(readResult(false, 0, ERROR_BROKEN_PIPE), ReadResult::End);
    EXPECT_EQ(readResult(false, 0, ERROR_HANDLE_EOF), ReadResult::End);
    EXPECT_EQ(readResult(false, 0, ERROR_OPERATION_ABORTED), ReadResult::Cancelled);
    EXPECT_EQ(readResult(false, 0, ERROR_ACCESS_DENIED), ReadResult::Failed);
    EXPECT_EQ(readResult(false, 0, ERROR_INVALID_HANDLE), ReadResult::Failed);
}

TEST(OutputRead, TheDrainAfterTheEndCountsZeroByteReadsAsWellAsBytes)
{
    DrainBound zeroBytes;
    for (size_t read = 0; read < DrainBound::MAX_READS; ++read) {
        ASSERT_TRUE(zeroBytes.allowsMore()) << "after " << read << " zero-byte reads";
        zeroBytes.count(0);
    }
    EXPECT_FALSE(zeroBytes.allowsMore());

    DrainBound fullReads;
    fullReads.count(DrainBound::MAX_BYTES - 1);
    EXPECT_TRUE(fullReads.allowsMore());
    fullReads.count(1);
    EXPECT_FALSE(fullReads.allowsMore());
}

TEST(OutputPipe, TakesAnotherNameWhenSomeoneMadeItFirst)
{
    const std::wstring taken = L"\\\\.\\pipe\\hwtest-taken-" + std::to_wstring(GetCurrentProcessId());
    const std::wstring fresh = L"\\\\.\\pipe\\hwtest-fresh-" + std::to_wstring(GetCurrentProcessId());
    const UniqueHandle squatter(CreateNamedPipeW(taken.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE, 1, 0, 0, 0, nullptr));
    ASSERT_TRUE(squatter) << GetLastError();

    std::deque<std::wstring> names = {taken, fresh};
    const auto next = [&names](std::wstring& name) {
        if (names.empty()) {
            return false;
        }
        name = names.front();
        names.pop_front();
        return true;
    };
    const OutputPipe pipe(next);
    ASSERT_TRUE(pipe.isValid());
    EXPECT_TRUE(names.empty()) << "the taken name was not given up";

    names = {taken, taken};
    EXPECT_FALSE(OutputPipe(next).isValid());
}

TEST(StartedMarker, IsFoundWhereAReadCutsALongLineButNotAcrossTwoLines)
{
    // 65,533 bytes and "REA" fill one read of 64 KiB; "DY" comes with the next.
    Lines cut;
    EXPECT_TRUE(markerSeen(std::string(65533, 'z') + "READY\n", 65536, cut));
    // The records stay as they were read.
    EXPECT_EQ(cut.received, (std::vector<std::wstring>{std::wstring(65533, L'z') + L"REA", L"DY"}));

    Lines twoLines;
    EXPECT_FALSE(markerSeen(std::string(5000, 'z') + "REA\nDY\n", 5003, twoLines));
}

TEST(StartedMarker, CountsOnStandardErrorReadApartButNeverAcrossTheTwoStreamsAndThenCallsBackOnce)
{
    ServiceStatus status(nullptr, 0, acceptStatus);
    Lines output;
    Lines errors;
    TokenFilteringServiceStatusUpdater updater(&status, &output, L"READY");
    EXPECT_EQ(updater.errorStream(), nullptr);
    updater.readErrorsInto(&errors);
    PipeReaderCallback* errorStream = updater.errorStream();
    ASSERT_NE(errorStream, nullptr);
    int calls = 0;
    updater.whenRunning([&calls] { ++calls; });
    // Each stream keeps the end of its own pieces.
    updater.onPiece(L"xREA");
    errorStream->onPiece(L"DYx");
    updater.onLine(L"");
    errorStream->onLine(L"");
    EXPECT_FALSE(updater.hasReported());
    errorStream->onPiece(L"xxRE");
    errorStream->onLine(L"ADY");
    EXPECT_TRUE(updater.hasReported());
    EXPECT_EQ(output.received, (std::vector<std::wstring>{L"xREA", L""}));
    EXPECT_EQ(errors.received, (std::vector<std::wstring>{L"DYx", L"", L"xxRE", L"ADY"}));
    EXPECT_EQ(calls, 1);
    // Asked once the service runs: called at once.
    updater.whenRunning([&calls] { ++calls; });
    EXPECT_EQ(calls, 2);
    status.setStatus(StatusValue::STOPPED);
}

TEST(LogPipeReader, GivesTheOutputLogEachLineWholeWithItsBlanksAndTheLogItsRecordsAsBefore)
{
    TemporaryDirectory dir;
    const std::wstring file = dir.file(L"app.log");
    // 10,000 characters in 8 KiB writes, blanks at the end, and a line past the longest one.
    const std::string output = std::string(10000, 'a') + "\ntail with spaces   \r\ntab\t\n" +
                               std::string(LogPipeReader::LONGEST_LINE + 5, 'b') + "\nlast";
    LoggingCapture capture(LEVEL_INFO);
    {
        OutputLog::Session session(OutputLog::ofProcess(), file, RollPolicy(), false);
        LogPipeReader reader(L"console");
        OutputDecoder decoder(OutputEncoding::automatic());
        for (size_t at = 0; at < output.size(); at += 8192) {
            decoder.append(
                CP_UTF8, output.data() + at, std::min<size_t>(8192, output.size() - at),
                [&](const std::wstring& line) { reader.onLine(line); },
                [&](const std::wstring& piece) { reader.onPiece(piece); });
        }
        decoder.finish(CP_UTF8, [&](const std::wstring& line) { reader.onLine(line); });
    }
    EXPECT_TRUE(readBytes(file) == std::string(10000, 'a') + "\r\ntail with spaces   \r\ntab\t\r\n" +
                                       std::string(LogPipeReader::LONGEST_LINE, 'b') + "\r\nbbbbb\r\nlast\r\n")
        << "the output log has other lines than the program wrote";
    const std::wstring cut = L"A line of the program's output is longer than 1048576 characters: the output log "
                             L"has it in lines of that length";
    EXPECT_EQ(capture.messages(), (std::vector<std::wstring>{L"Program output will be written to: " + file, cut}));

    // Without an output log the log has them trimmed, a long line in pieces.
    LoggingCapture log(LEVEL_INFO);
    LogPipeReader reader(L"console");
    OutputDecoder decoder(OutputEncoding::automatic());
    for (const std::string& read : {std::string(5000, 'c'), std::string("  \ntail with spaces   \n")}) {
        decoder.append(
            CP_UTF8, read.data(), read.size(), [&](const std::wstring& line) { reader.onLine(line); },
            [&](const std::wstring& piece) { reader.onPiece(piece); });
    }
    EXPECT_TRUE(log.messages() == (std::vector<std::wstring>{std::wstring(5000, L'c'), L"", L"tail with spaces"}))
        << "the log's records are not those of the pieces and the trimmed lines";
}
