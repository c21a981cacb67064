#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "common/Format.h"
#include "common/TextConversion.h"
#include "common/UniqueResource.h"
#include "logging/ErrorText.h"
#include "logging/LogFileOperations.h"
#include "logging/LogLevel.h"
#include "logging/RollFileWriter.h"
#include "logging/RollPolicy.h"
#include "support/ClockedWriter.h"
#include "support/LogText.h"
#include "support/LoggingCapture.h"
#include "support/RollOverRecords.h"
#include "support/TestFiles.h"

// A roll-over that fails: the live content kept, the backups left as they
// were, the warning and the recovery told, and the retry after its time or size.

namespace {

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

}  // namespace

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
