#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "common/Format.h"
#include "common/TextConversion.h"
#include "logging/ErrorText.h"
#include "logging/FileAppender.h"
#include "logging/LogLevel.h"
#include "logging/Logger.h"
#include "logging/RollFileWriter.h"
#include "support/ClockedWriter.h"
#include "support/LogText.h"
#include "support/LoggingCapture.h"
#include "support/TestFiles.h"

// How the log file's writer lays out records, opens its file, and counts and
// reports the records a failing file loses.

TEST(RollFileWriter, WritesTimestampedRecordsWithCrLfLineEnds)
{
    TemporaryDirectory dir;
    RollFileWriter writer;
    writer.open(dir.file(L"a\\b\\service.log"));
    writer.write(L"ServiceMain                       [Info] ", L"first \u00e9");
    writer.write(L"P ", L"two\nlines");
    const std::string content = readBytes(dir.file(L"a\\b\\service.log"));
    const std::regex layout(
        "\\[\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d,\\d{3}\\] ServiceMain {23}\\[Info\\] first \xC3\xA9\r\n"
        "\\[[^\\]]+\\] P two\r\nlines\r\n");
    EXPECT_TRUE(std::regex_match(content, layout)) << content;
}

TEST(RollFileWriter, ReopeningTheSameFileDoesNothingAndAFailedOpenKeepsThePreviousFile)
{
    TemporaryDirectory dir;
    const std::wstring file = dir.file(L"service.log");
    LoggingCapture capture(LEVEL_INFO);
    FileAppender appender;
    LoggerHolder::addAppender(&appender);

    appender.open(file);
    EXPECT_TRUE(capture.has(L"Logging will be redirected to: " + file));
    const size_t announced = capture.messages().size();
    appender.open(file);
    EXPECT_EQ(capture.messages().size(), announced);

    // A folder cannot be opened as the log file.
    CreateDirectoryW(dir.file(L"folder").c_str(), nullptr);
    appender.open(dir.file(L"folder"));
    EXPECT_EQ(appender.fileName(), file);
    Logger(L"probe").info(L"still here");
    const std::wstring content = readUtf8(file);
    EXPECT_NE(content.find(L"Failed to open log file " + dir.file(L"folder")), std::wstring::npos);
    EXPECT_NE(content.find(L"still here"), std::wstring::npos);

    // The folder that could not be created is the reason, not the path it left missing.
    writeUtf8(dir.file(L"blocker"), L"x");
    appender.open(dir.file(L"blocker\\logs\\service.log"));
    EXPECT_TRUE(capture.has(L"Failed to open log file " + dir.file(L"blocker\\logs\\service.log") +
                            L": the folder " + dir.file(L"blocker") + L" is a file"));
}

TEST(RollFileWriter, AFileThatCannotBeOpenedIsNamedWithItsReasonRetriedEveryTenSecondsAndItsLossCounted)
{
    TemporaryDirectory dir;
    const std::wstring file = dir.file(L"service.log");
    LoggingCapture capture(LEVEL_INFO);
    ClockedWriter<FileAppender> appender;
    LoggerHolder::addAppender(&appender);
    const Logger probe(L"probe");
    {
        // Another program's log, opened without sharing.
        UniqueHandle other(
            CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(other);
        appender.open(file);  // its own error message is the first record lost
        probe.info(L"lost one");
        appender.now = 10000;
        probe.info(L"lost two");  // tried again, failed again, said once
        EXPECT_EQ(appender.fileName(), L"");
    }
    appender.now = 19999;
    probe.info(L"lost three");
    EXPECT_EQ(appender.fileName(), L"");
    appender.now = 20000;
    probe.info(L"written");
    EXPECT_EQ(appender.fileName(), file);

    const std::wstring failure =
        L"Failed to open log file " + file + L": " + errorText(ERROR_SHARING_VIOLATION);
    const std::wstring lost = L"4 log records were lost in " + file + L": " + errorText(ERROR_SHARING_VIOLATION);
    EXPECT_EQ(capture.messages(),
              (std::vector<std::wstring>{failure, L"lost one", L"lost two", L"lost three", L"written",
                                         L"Logging will be redirected to: " + file, lost}));
    EXPECT_EQ(withoutTimestamps(readUtf8(file)), ROLL_FILE_WRITER_WARN + lost + L"\r\nprobe" +
                                                    std::wstring(28, L' ') + L" [Info] written\r\n");
}

TEST(RollFileWriter, AWriteErrorOfTheHandleReopensTheFileAfterTenSecondsAndReportsTheLossOnce)
{
    TemporaryDirectory dir;
    const std::wstring file = dir.file(L"service.log");
    LoggingCapture capture(LEVEL_WARN);
    ClockedWriter<RollFileWriter> writer;
    writer.open(file);
    writer.write(L"P ", L"before");
    // A share that disconnects.
    writer.failWith = ERROR_NETNAME_DELETED;
    writer.write(L"P ", L"lost one");
    writer.failWith = ERROR_SUCCESS;
    writer.now = 9999;
    writer.write(L"P ", L"lost two");  // not tried before ten seconds are over
    writer.now = 10000;
    writer.write(L"P ", L"after one");
    writer.write(L"P ", L"after two");
    EXPECT_EQ(writer.fileName(), file);

    const std::wstring lost = L"2 log records were lost in " + file + L": " + errorText(ERROR_NETNAME_DELETED);
    EXPECT_EQ(withoutTimestamps(readUtf8(file)),
              L"P before\r\n" + ROLL_FILE_WRITER_WARN + lost + L"\r\nP after one\r\nP after two\r\n");
    EXPECT_EQ(capture.messages(), (std::vector<std::wstring>{L"Failed to write to log file " + file + L": " +
                                                                 errorText(ERROR_NETNAME_DELETED),
                                                             lost}));
}

TEST(RollFileWriter, RawLinesGoAsTheyAreAndTheirLossIsReportedOnlyToTheLog)
{
    TemporaryDirectory dir;
    const std::wstring file = dir.file(L"app.log");
    LoggingCapture capture(LEVEL_INFO);
    ClockedWriter<RollFileWriter> writer(RollFileWriter::Layout::Raw);
    writer.open(file);
    writer.writeLine(L"{\"level\":\"info\",\"msg\":\"caf\u00e9\"}");
    writer.failWith = ERROR_DISK_FULL;
    writer.writeLine(L"lost");
    writer.failWith = ERROR_SUCCESS;
    writer.writeLine(L"after");
    EXPECT_EQ(readBytes(file), "{\"level\":\"info\",\"msg\":\"caf\xC3\xA9\"}\r\nafter\r\n");
    EXPECT_EQ(capture.messages(),
              (std::vector<std::wstring>{L"Program output will be written to: " + file,
                                         L"Failed to write to log file " + file + L": " + errorText(ERROR_DISK_FULL),
                                         L"1 line of program output was lost in " + file + L": " +
                                             errorText(ERROR_DISK_FULL)}));
}

TEST(RollFileWriter, ALossIsReportedOnTheRetryScheduleAndAtTheStopWithoutAnotherRecord)
{
    TemporaryDirectory dir;
    const std::wstring file = dir.file(L"service.log");
    LoggingCapture capture(LEVEL_WARN);
    ClockedWriter<RollFileWriter> writer;
    writer.open(file);
    writer.write(L"P ", L"before");
    EXPECT_EQ(writer.millisecondsToRetry(), INFINITE);
    writer.failWith = ERROR_DISK_FULL;
    writer.write(L"P ", L"lost one");
    writer.now = 4000;
    writer.write(L"P ", L"lost two");
    EXPECT_EQ(writer.millisecondsToRetry(), 6000u);  // from the first loss
    writer.failWith = ERROR_SUCCESS;
    writer.now = 9999;
    writer.retryLostRecords();
    EXPECT_EQ(withoutTimestamps(readUtf8(file)), L"P before\r\n");
    writer.now = 10000;
    writer.retryLostRecords();
    const std::wstring two = L"2 log records were lost in " + file + L": " + errorText(ERROR_DISK_FULL);
    EXPECT_EQ(withoutTimestamps(readUtf8(file)), L"P before\r\n" + ROLL_FILE_WRITER_WARN + two + L"\r\n");
    EXPECT_EQ(writer.millisecondsToRetry(), INFINITE);

    // The file still cannot take it at the stop: the log's other outputs hear it.
    writer.failWith = ERROR_DISK_FULL;
    writer.write(L"P ", L"lost three");
    writer.reportLossAtStop();
    const std::wstring one = L"1 log record was lost in " + file + L": " + errorText(ERROR_DISK_FULL);
    EXPECT_EQ(withoutTimestamps(readUtf8(file)), L"P before\r\n" + ROLL_FILE_WRITER_WARN + two + L"\r\n");
    const std::wstring failure = L"Failed to write to log file " + file + L": " + errorText(ERROR_DISK_FULL);
    EXPECT_EQ(capture.messages(), (std::vector<std::wstring>{failure, two, failure, one}));

    // The program's lines: their count goes to the log while the outage goes on.
    const std::wstring app = dir.file(L"app.log");
    ClockedWriter<RollFileWriter> raw(RollFileWriter::Layout::Raw);
    raw.open(app);
    raw.failWith = ERROR_DISK_FULL;
    raw.writeLine(L"lost one");
    raw.writeLine(L"lost two");
    raw.now = 10000;
    raw.retryLostRecords();
    raw.writeLine(L"lost three");
    raw.reportLossAtStop();
    const std::wstring appFailure = L"Failed to write to log file " + app + L": " + errorText(ERROR_DISK_FULL);
    EXPECT_EQ(capture.messages(),
              (std::vector<std::wstring>{failure, two, failure, one, appFailure,
                                         L"2 lines of program output were lost in " + app + L": " +
                                             errorText(ERROR_DISK_FULL),
                                         L"1 line of program output was lost in " + app + L": " +
                                             errorText(ERROR_DISK_FULL)}));
    EXPECT_EQ(readBytes(app), "");
}

// Runs on a small file system of its own that it fills; tests/unit/full-disk.sh
// mounts one and names it in HOSTWELL_FULL_DISK.
TEST(RollFileWriterOnAFullDisk, CutsOffTornRecordsAndReportsHowManyWereLost)
{
    wchar_t disk[MAX_PATH] = L"";
    if (GetEnvironmentVariableW(L"HOSTWELL_FULL_DISK", disk, MAX_PATH) == 0) {
        GTEST_SKIP() << "no small file system to fill: mounting one needs root (tests/unit/full-disk.sh)";
    }
    const std::wstring file = std::wstring(disk) + L"\\service.log";
    const std::wstring filler = std::wstring(disk) + L"\\filler";
    LoggingCapture capture(LEVEL_INFO);
    const int attempts = 20;
    {
        RollFileWriter writer;
        writer.open(file);
        writer.write(L"P ", L"before");
        {
            UniqueHandle fill(CreateFileW(filler.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
            ASSERT_TRUE(fill);
            const std::string block(4096, 'f');
            DWORD written = 0;
            while (WriteFile(fill.get(), block.data(), 4096, &written, nullptr) && written > 0) {
            }
            ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
        }
        // The last page of the log still has room for a few records and part of one more.
        const std::wstring padding(1000, L'p');
        for (int n = 0; n < attempts; ++n) {
            writer.write(L"P ", format(L"attempt %d %s", n, padding));
        }
        DeleteFileW(filler.c_str());
        writer.write(L"P ", L"after");
    }
    const std::wstring content = withoutTimestamps(readUtf8(file));
    DeleteFileW(file.c_str());

    std::vector<std::wstring> lines;
    for (size_t start = 0, end; (end = content.find(L"\r\n", start)) != std::wstring::npos; start = end + 2) {
        lines.push_back(content.substr(start, end - start));
    }
    ASSERT_GE(lines.size(), 3u) << content;
    EXPECT_EQ(lines.front(), L"P before");
    const size_t kept = lines.size() - 3;
    for (size_t n = 0; n < kept; ++n) {
        EXPECT_EQ(lines[1 + n], format(L"P attempt %d %s", static_cast<int>(n), std::wstring(1000, L'p')));
    }
    const int lost = attempts - static_cast<int>(kept);
    ASSERT_GT(lost, 0) << "the disk was not full";
    const std::wstring report = format(L"%d log records were lost in %s: %s", lost, file, errorText(ERROR_DISK_FULL));
    EXPECT_EQ(lines[lines.size() - 2], ROLL_FILE_WRITER_WARN + report);
    EXPECT_EQ(lines.back(), L"P after");
    EXPECT_EQ(content.size(), content.rfind(L"\r\n") + 2) << "no torn record at the end";

    // One warning marks the start of the outage, the report its end.
    const std::wstring failure = L"Failed to write to log file " + file + L": " + errorText(ERROR_DISK_FULL);
    EXPECT_EQ(capture.messages(), (std::vector<std::wstring>{L"Logging will be redirected to: " + file, failure,
                                                             report}));
}
