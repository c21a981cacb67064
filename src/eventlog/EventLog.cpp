#include "eventlog/EventLog.h"

#include <algorithm>

#include "commandline/Version.h"
#include "common/UniqueResource.h"
#include "logging/ErrorText.h"
#include "logging/Logger.h"
#include "settings/Paths.h"

namespace {

const Logger logger(L"WindowsEventLog");

const WORD EVENT_CATEGORY = 4;
const DWORD EVENT_ID = 404;
const wchar_t* const SEPARATOR = L"===============================================================";

// ReportEventW is documented for the handles of RegisterEventSourceW only.
UniqueEventSource openEventLog(const std::wstring& source)
{
    UniqueEventSource handle(RegisterEventSourceW(nullptr, source.c_str()));
    if (!handle) {
        logger.warn(L"Failed to open the event log source \"%s\": %s", source, lastErrorText());
    }
    return handle;
}

std::wstring modulePathOrDefault()
{
    std::wstring path;
    return getModulePath(path) == 0 ? path : std::wstring(L"Hostwell.exe");
}

}  // namespace

const EventLog::Severity EventLog::Success(EVENTLOG_SUCCESS);
const EventLog::Severity EventLog::Error(EVENTLOG_ERROR_TYPE);
const EventLog::Severity EventLog::Warning(EVENTLOG_WARNING_TYPE);
const EventLog::Severity EventLog::Info(EVENTLOG_INFORMATION_TYPE);

void EventLog::Write(const Severity& severity, const std::wstring& message) const
{
    report(severity, insertionStrings(message));
}

std::wstring EventLog::sourceName() const { return name_ + L" (see below)"; }

std::vector<std::wstring> EventLog::insertionStrings(const std::wstring& message) const
{
    const std::wstring banner = name_ == PRODUCT_WORD ? bannerText() : name_ + L" " + bannerText();
    // The Event Viewer expands "%n" in insertion strings.
    std::wstring text = message;
    std::replace(text.begin(), text.end(), L'%', L'_');
    return {SEPARATOR, banner, modulePathOrDefault(), text, SEPARATOR};
}

void EventLog::report(const Severity& severity, const std::vector<std::wstring>& strings) const
{
    UniqueEventSource handle = openEventLog(sourceName());
    if (!handle) {
        handle = openEventLog(L"Application");
        if (!handle) {
            return;
        }
    }
    std::vector<LPCWSTR> pointers;
    for (const std::wstring& text : strings) {
        pointers.push_back(text.c_str());
    }
    if (!ReportEventW(handle.get(), severity.type(), EVENT_CATEGORY, EVENT_ID, nullptr,
                      static_cast<WORD>(pointers.size()), 0, pointers.data(), nullptr)) {
        logger.warn(L"Failed to log message");
    }
}

const EventLog::Severity* severityNamed(const std::wstring& lowerCaseName)
{
    struct NamedSeverity {
        const wchar_t* name;
        const EventLog::Severity* severity;
    };
    const NamedSeverity severities[] = {
        {L"success", &EventLog::Success},
        {L"warn", &EventLog::Warning},
        {L"info", &EventLog::Info},
        {L"error", &EventLog::Error},
    };
    for (const NamedSeverity& candidate : severities) {
        if (lowerCaseName == candidate.name) {
            return candidate.severity;
        }
    }
    return nullptr;
}
