#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "common/TextConversion.h"
#include "eventlog/EventLog.h"
#include "eventlog/EventLogAppender.h"
#include "logging/Logger.h"
#include "logging/ServiceEvents.h"
#include "settings/Paths.h"
#include "support/LoggingCapture.h"
#include "support/ProcessRunner.h"

namespace {

const std::wstring SEPARATOR(63, L'=');
const std::wstring BANNER = L"Corvane Hostwell v1.1.730.777";

// The text Event Viewer shows for a record: the entry of its id in the
// message table of Hostwell.exe, filled with its strings.
std::wstring messageText(DWORD id, const std::vector<std::wstring>& strings)
{
    const HMODULE hostwell = LoadLibraryExW(hostwellPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (hostwell == nullptr) {
        return L"Hostwell.exe not loaded";
    }
    std::vector<DWORD_PTR> arguments;
    for (const std::wstring& text : strings) {
        arguments.push_back(reinterpret_cast<DWORD_PTR>(text.c_str()));
    }
    wchar_t text[4096] = {};
    // As Event Viewer does: the record's event id, the first language found.
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, hostwell, id, 0,
                                        text, 4096, reinterpret_cast<va_list*>(arguments.data()));
    FreeLibrary(hostwell);
    return std::wstring(text, length);
}

std::wstring modulePath()
{
    std::wstring path;
    getModulePath(path);
    return path;
}

struct Record {
    WORD type;
    WORD category;
    DWORD id;
    std::wstring source;
    std::vector<std::wstring> strings;
};

// Keeps the records instead of handing them to the system.
class RecordingAppender : public EventLogAppender {
public:
    using EventLogAppender::EventLogAppender;
    mutable std::vector<Record> records;

protected:
    void report(WORD type, WORD category, DWORD id, const std::vector<std::wstring>& strings) const override
    {
        records.push_back({type, category, id, sourceName(), strings});
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
    const std::vector<std::wstring> strings = EventLog(L"MyService").insertionStrings(L"Program failed");
    EXPECT_EQ(messageText(404, strings), strings[0] + L"\r\n" + strings[1] + L"\r\n" + strings[2] + L"\r\n" +
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
    EXPECT_EQ(record.category, 4);
    EXPECT_EQ(record.id, 404u);
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

TEST(EventLogAppender, EachEventIsARecordOfItsOwnIdWithTheServiceNameFirstThatEventViewerCanShow)
{
    struct Kind {
        DWORD id;
        WORD type;
        std::function<void()> report;
        std::vector<std::wstring> strings;  // after the service's name
    };
    const std::vector<Kind> kinds = {
        {1000, EVENTLOG_INFORMATION_TYPE, [] { ServiceEvents::programStarted(5120, L"\"C:\\app.exe\" --load 50%"); },
         {L"5120", L"\"C:\\app.exe\" --load 50_"}},
        {1001, EVENTLOG_INFORMATION_TYPE, [] { ServiceEvents::ready(L"marker and probes", 840); },
         {L"marker and probes", L"840"}},
        {1002, EVENTLOG_INFORMATION_TYPE, [] { ServiceEvents::stoppedOnRequest(L"stop command", 35); },
         {L"stop command", L"35"}},
        {1003, EVENTLOG_WARNING_TYPE, [] { ServiceEvents::programEnded(3221225477, 61000); },
         {L"3221225477", L"61000"}},
        {1004, EVENTLOG_WARNING_TYPE, [] { ServiceEvents::restartScheduled(2, 5000); }, {L"2", L"5000"}},
        {1005, EVENTLOG_WARNING_TYPE, [] { ServiceEvents::healthCheckFailed(L"tcp 127.0.0.1:8080", L"timed out", 2); },
         {L"tcp 127.0.0.1:8080", L"timed out", L"2"}},
        {1006, EVENTLOG_ERROR_TYPE, [] { ServiceEvents::unhealthy(L"http http://127.0.0.1/health", 3); },
         {L"http http://127.0.0.1/health", L"3"}},
        {1007, EVENTLOG_ERROR_TYPE, [] { ServiceEvents::gaveUp(GiveUpReason::PRE_START_FAILED, 7); },
         {L"pre-start failed", L"7"}},
        {1008, EVENTLOG_WARNING_TYPE, [] { ServiceEvents::recordsLost(965, L"C:\\svc\\app.log", L"Disk full (112)"); },
         {L"965", L"C:\\svc\\app.log", L"Disk full (112)"}},
        {1009, EVENTLOG_ERROR_TYPE, [] { ServiceEvents::fileRefused(L"C:\\Tools", L"BUILTIN\\Users", L"add file"); },
         {L"C:\\Tools", L"BUILTIN\\Users", L"add file"}},
        {1010, EVENTLOG_INFORMATION_TYPE, [] { ServiceEvents::recycled(L"memory 1600MB over 1500MB"); },
         {L"memory 1600MB over 1500MB"}},
    };
    RecordingAppender appender(L"My%Service");
    for (const Kind& kind : kinds) {
        appender.records.clear();
        kind.report();
        ASSERT_EQ(appender.records.size(), 1u) << kind.id;
        const Record& record = appender.records[0];
        EXPECT_EQ(record.id, kind.id);
        EXPECT_EQ(record.type, kind.type) << kind.id;
        EXPECT_EQ(record.category, 0) << kind.id;
        EXPECT_EQ(record.source, L"My%Service (see below)");
        std::vector<std::wstring> strings = {L"My_Service"};
        strings.insert(strings.end(), kind.strings.begin(), kind.strings.end());
        EXPECT_EQ(record.strings, strings) << kind.id;
        // A sentence that carries every string.
        const std::wstring text = messageText(kind.id, record.strings);
        EXPECT_EQ(text.rfind(L"The ", 0) == 0 || text.rfind(L"A ", 0) == 0, true) << toUtf8(text);
        for (const std::wstring& string : record.strings) {
            EXPECT_NE(text.find(string), std::wstring::npos) << toUtf8(text) << " lacks " << toUtf8(string);
        }
    }
}
