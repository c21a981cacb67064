#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "eventlog/EventLog.h"
#include "eventlog/EventLogAppender.h"
#include "logging/Logger.h"
#include "settings/Paths.h"
#include "support/LoggingCapture.h"
#include "support/ProcessRunner.h"

namespace {

const std::wstring SEPARATOR(63, L'=');
const std::wstring BANNER = L"Corvane Hostwell v1.1.730.777";

std::wstring modulePath()
{
    std::wstring path;
    getModulePath(path);
    return path;
}

struct Record {
    WORD type;
    std::wstring source;
    std::vector<std::wstring> strings;
};

// Keeps the records instead of handing them to the system.
class RecordingAppender : public EventLogAppender {
public:
    using EventLogAppender::EventLogAppender;
    mutable std::vector<Record> records;

protected:
    void report(const Severity& severity, const std::vector<std::wstring>& strings) const override
    {
        records.push_back({severity.type(), sourceName(), strings});
    }
};

}  // namespace

TEST(EventLog, SeverityNamesOfTheLogEventCommand)
{
    EXPECT_EQ(severityNamed(L"success"), &EventLog::Success);
    EXPECT_EQ(severityNamed(L"warn"), &EventLog::Warning);
    EXPECT_EQ(severityNamed(L"info"), &EventLog::Info);
    EXPECT_EQ(severityNamed(L"error"), &EventLog::Error);
    EXPECT_EQ(severityNamed(L"warning"), nullptr);
    EXPECT_EQ(severityNamed(L"Error"), nullptr);
    EXPECT_EQ(severityNamed(L""), nullptr);

    EXPECT_EQ(EventLog::Success.type(), EVENTLOG_SUCCESS);
    EXPECT_EQ(EventLog::Error.type(), EVENTLOG_ERROR_TYPE);
    EXPECT_EQ(EventLog::Warning.type(), EVENTLOG_WARNING_TYPE);
    EXPECT_EQ(EventLog::Info.type(), EVENTLOG_INFORMATION_TYPE);
}

TEST(EventLog, RecordsFrameBannerPathAndMessageWithoutPercentSigns)
{
    const EventLog product(L"Hostwell");
    EXPECT_EQ(product.sourceName(), L"Hostwell (see below)");
    EXPECT_EQ(product.insertionStrings(L"50% done, %1 %%"),
              (std::vector<std::wstring>{SEPARATOR, BANNER, modulePath(), L"50_ done, _1 __", SEPARATOR}));

    // Only the exact product word goes without a name before the banner.
    EXPECT_EQ(EventLog(L"MyService").insertionStrings(L"x")[1], L"MyService " + BANNER);
    EXPECT_EQ(EventLog(L"hostwell").insertionStrings(L"x")[1], L"hostwell " + BANNER);
}

TEST(EventLog, HostwellExeCarriesTheTextOfItsRecordsForEventViewer)
{
    const HMODULE hostwell = LoadLibraryExW(hostwellPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(hostwell, nullptr) << GetLastError();
    const std::vector<std::wstring> strings = EventLog(L"MyService").insertionStrings(L"Program failed");
    std::vector<DWORD_PTR> arguments;
    for (const std::wstring& text : strings) {
        arguments.push_back(reinterpret_cast<DWORD_PTR>(text.c_str()));
    }
    wchar_t text[4096] = {};
    // As Event Viewer does: the record's event id, the first language found.
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, hostwell, 404, 0,
                                        text, 4096, reinterpret_cast<va_list*>(arguments.data()));
    const DWORD error = GetLastError();
    FreeLibrary(hostwell);
    ASSERT_NE(length, 0u) << error;
    EXPECT_EQ(std::wstring(text, length), strings[0] + L"\r\n" + strings[1] + L"\r\n" + strings[2] + L"\r\n" +
                                              strings[3] + L"\r\n" + strings[4]);
}

TEST(EventLogAppender, OnlyErrorsAndLogFileWarningsReachTheServicesSourceWithTheBareMessage)
{
    LoggingCapture capture(LEVEL_DEBUG);
    RecordingAppender appender(L"MyService");
    LoggerHolder::addAppender(&appender);

    const Logger logger(L"ServiceTask");
    logger.debug(L"debug text");
    logger.info(L"info text");
    logger.warn(L"warn text");
    logger.error(L"Program failed: %d%%", 5);
    Logger(L"RollFileWriter").info(L"log file info");
    Logger(L"RollFileWriter").warn(L"Failed to write to log file C:\\app.log");
    Logger(L"RollFileWriterX").warn(L"a namesake's warning");

    ASSERT_EQ(appender.records.size(), 2u);
    EXPECT_EQ(appender.records[1].type, EVENTLOG_WARNING_TYPE);
    EXPECT_EQ(appender.records[1].strings[3], L"Failed to write to log file C:\\app.log");
    const Record& record = appender.records[0];
    EXPECT_EQ(record.type, EVENTLOG_ERROR_TYPE);
    EXPECT_EQ(record.source, L"MyService (see below)");
    EXPECT_EQ(record.strings,
              (std::vector<std::wstring>{SEPARATOR, L"MyService " + BANNER, modulePath(), L"Program failed: 5_",
                                         SEPARATOR}));
}

TEST(EventLogAppender, LevelsMapToSeverities)
{
    EXPECT_EQ(&severityForLevel(LEVEL_ERROR), &EventLog::Error);
    EXPECT_EQ(&severityForLevel(LEVEL_WARN), &EventLog::Warning);
    EXPECT_EQ(&severityForLevel(LEVEL_INFO), &EventLog::Info);
    EXPECT_EQ(&severityForLevel(LEVEL_DEBUG), &EventLog::Info);
}
