#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "common/TextConversion.h"
#include "logging/ErrorText.h"
#include "logging/FileAppender.h"
#include "logging/LogFileOperations.h"
#include "logging/LogLevel.h"
#include "logging/RollPolicy.h"
#include "logging/Logger.h"
#include "support/LoggingCapture.h"
#include "support/TestFiles.h"

namespace {

const size_t MAX_SIZE = 3145728;
const std::wstring ROLL_FILE_WRITER_WARN = L"RollFileWriter" + std::wstring(20, L' ') + L"[Warn] ";

size_t fileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return data.nFileSizeLow;
}

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

std::wstring withoutTimestamps(const std::wstring& content)
{
    return std::regex_replace(content, std::wregex(L"(^|\n)\\[[^\\]]+\\] "), L"$1");
}

// The writer's clocks, moved on by the test instead of waiting, and its
// writes, made to fail with `failWith`.
template <typename Writer>
class ClockedWriter : public Writer {
public:
    using Writer::Writer;
    unsigned long long now = 0;
    SYSTEMTIME today = {2026, 12, 1, 7, 10, 0, 0, 0};
    DWORD failWith = ERROR_SUCCESS;

protected:
    unsigned long long tickCount() const override { return now; }
    SYSTEMTIME localTime() const override { return today; }
    BOOL writeFile(HANDLE file, const char* data, DWORD size, DWORD* written) override
    {
        if (failWith != ERROR_SUCCESS) {
            SetLastError(failWith);
            return FALSE;
        }
        return Writer::writeFile(file, data, size, written);
    }
};

RollPolicy smallFiles(int keep = 3)
{
    RollPolicy policy;
    policy.maxSize = 65536;
    policy.keep = keep;
    return policy;
}

// Writes records of about 1 KiB until the live file has been cut once and its
// backups have moved; the number of the next record.
int writeUntilRolled(RollFileWriter& writer, const std::wstring& file, int record)
{
    const std::wstring padding(1000, L'p');
    for (size_t previous = 0;; ++record) {
        writer.write(L"P ", format(L"record %d %s", record, padding));
        const size_t size = fileSize(file);
        if (size < previous) {
            writer.waitForBackups();
            return record + 1;
        }
        previous = size;
    }
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

// Refuses to move `source` while `refusing`, as a file held open refuses.
class RefusingFiles : public LogFileOperations {
public:
    explicit RefusingFiles(std::wstring source) : source_(std::move(source)) {}
    std::atomic<bool> refusing{true};
    std::atomic<int> refused{0};

    BOOL move(const std::wstring& from, const std::wstring& to) override
    {
        if (refusing && from == source_) {
            ++refused;
            SetLastError(ERROR_SHARING_VIOLATION);
            return FALSE;
        }
        return LogFileOperations::move(from, to);
    }

private:
    std::wstring source_;
};

int firstRecordNumber(const std::string& content)
{
    const size_t at = content.find("record ");
    return at == std::string::npos ? -1 : std::stoi(content.substr(at + 7));
}

}  // namespace

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

TEST(RollFileWriter, KeepsTheLiveContentWhenTheBackupCannotBeWrittenAndTriesAgainAfterThirtySeconds)
{
    TemporaryDirectory dir;
    const std::wstring file = dir.file(L"service.log");
    ClockedWriter<RollFileWriter> writer;
    writer.open(file);
    // A folder where the copy should go makes the copy fail.
    CreateDirectoryW((file + L".1.tmp").c_str(), nullptr);
    const std::wstring padding(1000, L'p');
    int record = 0;
    while (fileSize(file) < MAX_SIZE + 50000) {
        writer.write(L"P ", format(L"record %d %s", record++, padding));
    }
    EXPECT_EQ(firstRecordNumber(readBytes(file)), 0);
    EXPECT_FALSE(fileExists(file + L".1"));

    // Once the obstacle is gone the roll-over waits for its time, then nothing is lost.
    RemoveDirectoryW((file + L".1.tmp").c_str());
    writer.write(L"P ", format(L"record %d %s", record++, padding));
    EXPECT_FALSE(fileExists(file + L".1"));
    writer.now += 30000;
    writer.write(L"P ", format(L"record %d %s", record, padding));
    EXPECT_EQ(firstRecordNumber(readBytes(file)), -1);
    writer.waitForBackups();
    writer.write(L"P ", L"after");
    EXPECT_NE(readUtf8(file).find(L"Log file " + file + L" rolls over again"), std::wstring::npos);
    const std::string backup = readBytes(file + L".1");
    EXPECT_EQ(firstRecordNumber(backup), 0);
    EXPECT_NE(backup.find("record " + std::to_string(record) + " "), std::string::npos);
}

TEST(RollFileWriter, ABackupHeldOpenLeavesTheBackupsAsTheyWereAndTheCopyWaitsAMegabyteForItsPlace)
{
    TemporaryDirectory dir;
    const std::wstring file = dir.file(L"service.log");
    writeBytes(file + L".1", "one");
    writeBytes(file + L".2", "two");
    writeBytes(file + L".3", "three");
    LoggingCapture capture(LEVEL_INFO);
    ClockedWriter<RollFileWriter> writer;  // its clock stands still: only the size counts
    writer.open(file);
    int record = 0;
    const std::wstring warning = L"Failed to roll over log file " + file + L", it keeps growing: " + file +
                                 L".1: " + errorText(ERROR_SHARING_VIOLATION);
    {
        // A log viewer lets others read and write the file, but not delete it.
        UniqueHandle viewer(CreateFileW((file + L".1").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(viewer);
        record = writeUntilRolled(writer, file, record);
        writer.write(L"P ", L"the failure is told with the next record");
        ASSERT_EQ(readBytes(file + L".1"), "one");
        ASSERT_EQ(readBytes(file + L".2"), "two");
        ASSERT_EQ(readBytes(file + L".3"), "three");
        EXPECT_EQ(firstRecordNumber(readBytes(file + L".1.tmp")), 0);
    }
    EXPECT_EQ(capture.messages(), (std::vector<std::wstring>{L"Logging will be redirected to: " + file, warning}));
    EXPECT_NE(fromUtf8(readBytes(file)).find(ROLL_FILE_WRITER_WARN + warning), std::wstring::npos);

    // Released, the backup is not tried again with every record but after another megabyte.
    const std::wstring padding(1000, L'p');
    while (fileSize(file) < 1048576 - 4096) {
        writer.write(L"P ", format(L"record %d %s", record++, padding));
        writer.waitForBackups();
    }
    EXPECT_EQ(readBytes(file + L".1"), "one");
    while (readBytes(file + L".1") == "one") {
        ASSERT_LT(fileSize(file), 1048576u + 4096) << "no roll-over a megabyte after the failed one";
        writer.write(L"P ", format(L"record %d %s", record++, padding));
        writer.waitForBackups();
    }
    EXPECT_EQ(firstRecordNumber(readBytes(file + L".1")), 0);
    EXPECT_EQ(readBytes(file + L".2"), "one");
    EXPECT_EQ(readBytes(file + L".3"), "two");
    EXPECT_FALSE(fileExists(file + L".1.tmp"));
    writer.write(L"P ", L"the recovery is told with the next record");
    EXPECT_TRUE(capture.has(L"Log file " + file + L" rolls over again"));
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

TEST(RollFileWriter, AFreshCopyThatCannotBeRenamedLosesNoGenerationWhileTheRollOverIsRetried)
{
    TemporaryDirectory dir;
    const std::wstring file = dir.file(L"service.log");
    writeBytes(file + L".1", "one");
    writeBytes(file + L".2", "two");
    writeBytes(file + L".3", "three");
    LoggingCapture capture(LEVEL_WARN);
    // A virus scanner reads the fresh copy and keeps it from being renamed.
    RefusingFiles files(file + L".1.tmp");
    ClockedWriter<RollFileWriter> writer(RollFileWriter::Layout::Stamped, files);
    writer.setPolicy(smallFiles());
    writer.open(file);
    const int record = writeUntilRolled(writer, file, 0);
    for (int retry = 0; retry < 3; ++retry) {
        writer.now += 30000;
        writer.write(L"P ", L"retried");
        writer.waitForBackups();
    }
    EXPECT_EQ(firstRecordNumber(readBytes(file + L".1.tmp")), 0);
    EXPECT_EQ(files.refused, 4);
    EXPECT_EQ(capture.messages(), (std::vector<std::wstring>{L"Failed to roll over log file " + file +
                                                             L", it keeps growing: " + file + L".1.tmp: " +
                                                             errorText(ERROR_SHARING_VIOLATION)}));
    files.refusing = false;
    writer.now += 30000;
    writer.write(L"P ", L"retried");
    writer.waitForBackups();
    const std::string backup = readBytes(file + L".1");
    EXPECT_EQ(firstRecordNumber(backup), 0);
    EXPECT_NE(backup.find("record " + std::to_string(record - 1) + " "), std::string::npos);
    EXPECT_EQ(readBytes(file + L".2"), "one");
    EXPECT_EQ(readBytes(file + L".3"), "two");
    EXPECT_FALSE(fileExists(file + L".4"));
    EXPECT_FALSE(fileExists(file + L".1.tmp"));
}

TEST(RollFileWriter, ASecondFailedRollOverWaitsAnotherMegabyteFromItsOwnSize)
{
    TemporaryDirectory dir;
    const std::wstring file = dir.file(L"service.log");
    writeBytes(file + L".1", "one");
    ClockedWriter<RollFileWriter> writer;  // its clock stands still: only the size counts
    writer.setPolicy(smallFiles());
    writer.open(file);
    const std::wstring padding(1000, L'p');
    int record = 0;
    {
        UniqueHandle viewer(CreateFileW((file + L".1").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(viewer);
        // Fails at 64 KiB, where the live file is cut, and again a megabyte later.
        record = writeUntilRolled(writer, file, record);
        while (fileSize(file) < 1048576 + 102400) {
            writer.write(L"P ", format(L"record %d %s", record++, padding));
            writer.waitForBackups();
        }
    }
    ASSERT_EQ(readBytes(file + L".1"), "one");
    while (fileSize(file) < 2 * 1048576 - 4096) {
        writer.write(L"P ", format(L"record %d %s", record++, padding));
        writer.waitForBackups();
        ASSERT_EQ(readBytes(file + L".1"), "one") << "rolled over before a megabyte after the second failure";
    }
    while (readBytes(file + L".1") == "one") {
        ASSERT_LT(fileSize(file), 2u * 1048576 + 4096) << "no roll-over a megabyte after the second failure";
        writer.write(L"P ", format(L"record %d %s", record++, padding));
        writer.waitForBackups();
    }
    EXPECT_EQ(readBytes(file + L".2"), "one");
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

TEST(RollFileWriter, ABackupThatCannotBeCompressedOrWhoseCompressedCopyCannotBeRenamedStaysPlain)
{
    TemporaryDirectory dir;
    const std::wstring file = dir.file(L"service.log");
    LoggingCapture capture(LEVEL_WARN);
    RollFileWriter writer;
    RollPolicy policy = smallFiles();
    policy.compress = true;
    writer.setPolicy(policy);
    writer.open(file);
    CreateDirectoryW((file + L".1.gz.tmp").c_str(), nullptr);
    writeUntilRolled(writer, file, 0);
    const std::wstring warning = L"Failed to compress log backup " + file + L".1, it stays as it is: " +
                                 errorText(ERROR_ACCESS_DENIED);
    // The warning comes with the first record after the compression gave up.
    for (int i = 0; i < 500 && !capture.has(warning); ++i) {
        Sleep(10);
        writer.write(L"P ", L"tick");
    }
    ASSERT_TRUE(capture.has(warning)) << "no warning within 5 s";
    EXPECT_EQ(firstRecordNumber(readBytes(file + L".1")), 0);
    EXPECT_FALSE(fileExists(file + L".1.gz"));
    EXPECT_EQ(capture.messages(), std::vector<std::wstring>{warning});

    // A virus scanner reads the fresh .gz.tmp and keeps it from being renamed.
    RemoveDirectoryW((file + L".1.gz.tmp").c_str());
    int next = 0;
    {
        UniqueHandle scanner(CreateFileW((file + L".1.gz.tmp").c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_NEW,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(scanner);
        next = writeUntilRolled(writer, file, 100000);
        writer.write(L"P ", L"tick");
        EXPECT_EQ(firstRecordNumber(readBytes(file + L".1")), 100000);
    }
    const std::wstring held = L"Failed to compress log backup " + file + L".1, it stays as it is: " +
                              errorText(ERROR_SHARING_VIOLATION);
    EXPECT_EQ(capture.messages(), (std::vector<std::wstring>{warning, held}));
    EXPECT_NE(readBytes(file + L".1").find("record " + std::to_string(next - 1) + " "), std::string::npos);
    EXPECT_FALSE(fileExists(file + L".1.gz"));
    EXPECT_EQ(firstRecordNumber(readBytes(file + L".2")), 0);
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
