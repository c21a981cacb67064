#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "common/TextConversion.h"
#include "logging/FileAppender.h"
#include "logging/LogLevel.h"
#include "logging/Logger.h"
#include "support/LoggingCapture.h"
#include "support/TestFiles.h"

namespace {

const size_t MAX_SIZE = 3145728;

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
            ++seen;
        }
        previousSize = size;
        ++record;
    }
    return record - 1;
}

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

TEST(RollFileWriter, KeepsTheLiveContentWhenTheBackupCannotBeWritten)
{
    TemporaryDirectory dir;
    const std::wstring file = dir.file(L"service.log");
    RollFileWriter writer;
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

    // Once the obstacle is gone the next record rolls over with nothing lost.
    RemoveDirectoryW((file + L".1.tmp").c_str());
    writer.write(L"P ", format(L"record %d %s", record, padding));
    EXPECT_EQ(readBytes(file).size(), 0u);
    const std::string backup = readBytes(file + L".1");
    EXPECT_EQ(firstRecordNumber(backup), 0);
    EXPECT_NE(backup.find("record " + std::to_string(record) + " "), std::string::npos);
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
}
