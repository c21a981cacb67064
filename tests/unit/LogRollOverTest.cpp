#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/Format.h"
#include "common/UniqueResource.h"
#include "logging/LogFileOperations.h"
#include "logging/RollFileWriter.h"
#include "logging/RollPolicy.h"
#include "support/ClockedWriter.h"
#include "support/LogText.h"
#include "support/RollOverRecords.h"
#include "support/TestFiles.h"

// How a log rolls over by size and by day, and how its backups are named,
// moved, compressed and made durable.

namespace {

// Writes numbered records of about 1 KiB until the live file has rolled over
// `rotations` times; returns the number of the last record written.
int writeUntilRotated(RollFileWriter& writer, const std::wstring& file, int rotations, int first = 0)
{
    const std::wstring padding(1000, L'p');
    int record = first;
    int seen = 0;
    size_t previousSize = 0;
    while (seen < rotations) {
        writer.write(L"prefix ", format(L"record %d %s", record, padding));
        const size_t size = fileSize(file);
        if (size < previousSize) {
            writer.waitForBackups();
            ++seen;
        }
        previousSize = size;
        ++record;
    }
    return record - 1;
}

// Records the calls by which the log's content reaches the disk and changes
// its name; `moveGate`, when set, holds every move until it is signalled.
class RecordingFiles : public LogFileOperations {
public:
    HANDLE moveGate = nullptr;

    std::vector<std::wstring> calls() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }
    BOOL flush(HANDLE file, const std::wstring& name) override
    {
        note(L"flush " + name);
        return LogFileOperations::flush(file, name);
    }
    BOOL truncate(HANDLE file, const std::wstring& name) override
    {
        note(L"truncate " + name);
        return LogFileOperations::truncate(file, name);
    }
    BOOL move(const std::wstring& from, const std::wstring& to) override
    {
        if (moveGate != nullptr && WaitForSingleObject(moveGate, 10000) != WAIT_OBJECT_0) {
            ADD_FAILURE() << "the gate of the moves was not opened within 10 s";
        }
        note(L"move " + from + L" " + to);
        return LogFileOperations::move(from, to);
    }
    BOOL remove(const std::wstring& name) override
    {
        note(L"remove " + name);
        return LogFileOperations::remove(name);
    }

private:
    void note(const std::wstring& call)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back(call);
    }
    mutable std::mutex mutex_;
    std::vector<std::wstring> calls_;
};

}  // namespace

TEST(RollFileWriter, RollsOverIntoThreeBackupsAndDropsTheOldest)
{
    TemporaryDirectory dir;
    const std::wstring file = dir.file(L"service.log");
    RollFileWriter writer;
    writer.open(file);

    const int firstGeneration = writeUntilRotated(writer, file, 1);
    EXPECT_TRUE(fileExists(file + L".1"));
    EXPECT_FALSE(fileExists(file + L".2"));  // no backups yet: only .1 is made
    EXPECT_GE(readBytes(file + L".1").size(), MAX_SIZE);
    EXPECT_EQ(firstRecordNumber(readBytes(file + L".1")), 0);

    const int last = writeUntilRotated(writer, file, 3, firstGeneration + 1);
    EXPECT_FALSE(fileExists(file + L".4"));
    EXPECT_FALSE(fileExists(file + L".1.tmp"));
    // The first generation fell off the end; the rest follow on without a gap.
    const int third = firstRecordNumber(readBytes(file + L".3"));
    const int second = firstRecordNumber(readBytes(file + L".2"));
    const int first = firstRecordNumber(readBytes(file + L".1"));
    EXPECT_EQ(third, firstGeneration + 1);
    EXPECT_GT(second, third);
    EXPECT_GT(first, second);
    EXPECT_EQ(readBytes(file).size(), 0u);  // the record that rolled is the last one of .1
    EXPECT_NE(readBytes(file + L".1").find("record " + std::to_string(last) + " "), std::string::npos);
    for (int n = 1; n <= 3; ++n) {
        const size_t size = readBytes(file + L"." + std::to_wstring(n)).size();
        EXPECT_GE(size, MAX_SIZE);
        EXPECT_LT(size, MAX_SIZE + 1100);
    }
}

TEST(RollFileWriter, DailyBackupsAreNamedByTheDayOfTheirRecordsAndKeepCountsThemAll)
{
    TemporaryDirectory dir;
    const std::wstring file = dir.file(L"service.log");
    // Left from the 5th: the first record of a later day rolls it over.
    writeBytes(file, "from the 5th\r\n");
    {
        UniqueHandle handle(CreateFileW(file.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        const SYSTEMTIME fifth = {2026, 12, 6, 5, 12, 0, 0, 0};
        FILETIME local = {};
        FILETIME utc = {};
        ASSERT_TRUE(SystemTimeToFileTime(&fifth, &local) && LocalFileTimeToFileTime(&local, &utc) &&
                    SetFileTime(handle.get(), nullptr, nullptr, &utc));
    }
    ClockedWriter<RollFileWriter> writer;
    RollPolicy policy = smallFiles(3);
    policy.roll = RollPolicy::Roll::Daily;
    writer.setPolicy(policy);
    writer.today.wDay = 6;
    writer.open(file);
    const int record = writeUntilRolled(writer, file, 0);
    EXPECT_EQ(readBytes(file + L".2026-12-05.1"), "from the 5th\r\n");
    EXPECT_EQ(firstRecordNumber(readBytes(file + L".2026-12-06.1")), 0);
    writer.write(L"P ", L"last of the 6th");
    writer.today.wDay = 7;
    writer.write(L"P ", L"first of the 7th");
    writer.waitForBackups();
    EXPECT_NE(readUtf8(file + L".2026-12-06.2").find(L"P last of the 6th\r\n"), std::wstring::npos);
    EXPECT_EQ(withoutTimestamps(readUtf8(file)), L"P first of the 7th\r\n");
    // A size roll-over within the day takes the day's next number; the oldest backups go.
    writeUntilRolled(writer, file, record);
    EXPECT_TRUE(fileExists(file + L".2026-12-07.1"));
    EXPECT_FALSE(fileExists(file + L".2026-12-05.1"));
    EXPECT_TRUE(fileExists(file + L".2026-12-06.1"));
    EXPECT_TRUE(fileExists(file + L".2026-12-06.2"));
}

TEST(RollFileWriter, EachNewFileIsOnTheDiskBeforeItIsRenamedOrTheLiveFileCut)
{
    TemporaryDirectory dir;
    const std::wstring file = dir.file(L"service.log");
    RecordingFiles files;
    RollFileWriter writer(RollFileWriter::Layout::Stamped, files);
    RollPolicy policy = smallFiles();
    policy.compress = true;
    writer.setPolicy(policy);
    writer.open(file);
    writeUntilRolled(writer, file, 0);
    EXPECT_EQ(files.calls(), (std::vector<std::wstring>{L"flush " + file + L".1.tmp", L"truncate " + file,
                                                        L"move " + file + L".1.tmp " + file + L".1",
                                                        L"flush " + file + L".1.gz.tmp",
                                                        L"move " + file + L".1.gz.tmp " + file + L".1.gz",
                                                        L"remove " + file + L".1"}));
}

TEST(RollFileWriter, AThousandBackupsMoveOffTheWritingThreadAndTheOldestGoesWithOneDelete)
{
    TemporaryDirectory dir;
    const std::wstring file = dir.file(L"service.log");
    const int keep = 1000;
    for (int n = 1; n <= keep; ++n) {
        writeBytes(file + format(L".%d", n), std::to_string(n));
    }
    UniqueHandle gate(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    RecordingFiles files;
    files.moveGate = gate.get();
    ClockedWriter<RollFileWriter> writer(RollFileWriter::Layout::Stamped, files);
    writer.setPolicy(smallFiles(keep));
    writer.open(file);
    const std::wstring padding(1000, L'p');
    int record = 0;
    while (fileSize(file) < 65536) {
        writer.write(L"P ", format(L"record %d %s", record++, padding));
    }
    // The records go on while the backups wait to move, and the file grows
    // past its size rather than rolling over again.
    while (fileSize(file) < 65536 + 4096) {
        writer.write(L"P ", format(L"record %d %s", record++, padding));
    }
    EXPECT_EQ(readBytes(file + L".1"), "1");
    SetEvent(gate.get());
    writer.waitForBackups();
    EXPECT_EQ(firstRecordNumber(readBytes(file + L".1")), 0);
    EXPECT_EQ(readBytes(file + L".2"), "1");
    EXPECT_EQ(readBytes(file + L".1000"), "999");
    const std::vector<std::wstring> calls = files.calls();
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(), [](const std::wstring& call) { return call[0] == L'm'; }),
              keep);
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(), [](const std::wstring& call) { return call[0] == L'r'; }),
              1);
    EXPECT_NE(std::find(calls.begin(), calls.end(), L"remove " + file + L".1000"), calls.end());
}

TEST(RollFileWriter, ALiveFileThatReachesTwiceItsSizeWaitsForTheBackupsToMove)
{
    TemporaryDirectory dir;
    const std::wstring file = dir.file(L"service.log");
    UniqueHandle gate(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    RecordingFiles files;
    files.moveGate = gate.get();
    ClockedWriter<RollFileWriter> writer(RollFileWriter::Layout::Stamped, files);
    writer.setPolicy(smallFiles());
    writer.open(file);
    // The moves go on once the live file is twice its size, and some time later,
    // in which a writer that does not wait would write all that is left.
    std::thread opener([&] {
        for (int i = 0; i < 1000 && fileSize(file) < 2 * 65536; ++i) {
            Sleep(10);
        }
        Sleep(300);
        SetEvent(gate.get());
    });
    const std::wstring padding(1000, L'p');
    for (int record = 0; record < 200; ++record) {
        writer.write(L"P ", format(L"record %d %s", record, padding));
    }
    opener.join();
    writer.waitForBackups();
    EXPECT_LT(fileSize(file), 2 * 65536u + 2048);
    for (int n = 1; fileExists(file + format(L".%d", n)); ++n) {
        EXPECT_LT(fileSize(file + format(L".%d", n)), 2 * 65536u + 2048) << n;
    }
}

TEST(RollFileWriter, ACopyLeftBeforeTheStartIsPutInPlaceBeforeTheNextOneIsMade)
{
    TemporaryDirectory dir;
    const std::wstring file = dir.file(L"service.log");
    writeBytes(file + L".1", "one");
    writeBytes(file + L".1.tmp", "left over");
    RollFileWriter writer;
    writer.setPolicy(smallFiles());
    writer.open(file);
    const std::wstring padding(1000, L'p');
    int record = 0;
    while (!fileExists(file + L".3")) {
        ASSERT_LT(fileSize(file), 65536u + 4096) << "no roll-over once the copy left over was in place";
        writer.write(L"P ", format(L"record %d %s", record++, padding));
        writer.waitForBackups();
    }
    EXPECT_EQ(firstRecordNumber(readBytes(file + L".1")), 0);
    EXPECT_EQ(readBytes(file + L".2"), "left over");
    EXPECT_EQ(readBytes(file + L".3"), "one");
}
