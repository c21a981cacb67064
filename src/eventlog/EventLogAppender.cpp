#include "eventlog/EventLogAppender.h"

#include "settings/SettingsInterfaces.h"

EventLogAppender::EventLogAppender(const ServiceSettings& settings)
    : LogLevelSetup(LEVEL_ERROR), EventLog(settings.getServiceName())
{
}

void EventLogAppender::write(int level, int, const std::wstring&, const std::wstring& message)
{
    if (isEnabled(level)) {
        Write(severityForLevel(level), message);
    }
}

const EventLog::Severity& severityForLevel(int level)
{
    switch (level) {
    case LEVEL_WARN: return EventLog::Warning;
    case LEVEL_ERROR: return EventLog::Error;
    default: return EventLog::Info;
    }
}
