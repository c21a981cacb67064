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
const WORD NO_CATEGORY = 0;
// ReportEventW takes no longer insertion string.
const size_t LONGEST_INSERTION_STRING = 31839;
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

// The Event Viewer expands "%n" in insertion strings.
std::wstring withoutPercentSigns(const std::wstring& text)
{
    std::wstring replaced = text;
    std::replace(replaced.begin(), replaced.end(), L'%', L'_');
    return replaced;
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
    report(severity.type(), EVENT_CATEGORY, EVENT_ID, insertionStrings(message));
}

void EventLog::WriteRecord(WORD type, DWORD eventId, const std::vector<std::wstring>& strings) const
{
    std::vector<std::wstring> all = {withoutPercentSigns(name_)};
    for (const std::wstring& text : strings) {
        all.push_back(withoutPercentSigns(text));
    }
    report(type, NO_CATEGORY, eventId, all);
}

std::wstring EventLog::sourceName() const { return name_ + L" (see below)"; }

std::vector<std::wstring> EventLog::insertionStrings(const std::wstring& message) const
{
    const std::wstring banner = name_ == PRODUCT_WORD ? bannerText() : name_ + L" " + bannerText();
    return {SEPARATOR, banner, modulePathOrDefault(), withoutPercentSigns(message), SEPARATOR};
}

void EventLog::report(WORD type, WORD category, DWORD eventId, const std::vector<std::wstring>& strings) const
{
    UniqueEventSource handle = openEventLog(sourceName());
    if (!handle) {
        handle = openEventLog(L"Application");
        if (!handle) {
            return;
        }
    }
    std::vector<std::wstring> texts;
    std::vector<LPCWSTR> pointers;
    for (const std::wstring& text : strings) {
        texts.push_back(text.substr(0, LONGEST_INSERTION_STRING));
    }
    for (const std::wstring& text : texts) {
        pointers.push_back(text.c_str());
    }
    if (!ReportEventW(handle.get(), type, category, eventId, nullptr,
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
