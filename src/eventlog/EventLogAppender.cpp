#include "eventlog/EventLogAppender.h"

#include "settings/SettingsInterfaces.h"

EventLogAppender::EventLogAppender(const ServiceSettings& settings)
    : LogLevelSetup(LEVEL_ERROR), EventLog(settings.getServiceName())
{
}

namespace {

// The logger of the log file, as it starts a prefix.
const std::wstring LOG_FILE_LOGGER = L"RollFileWriter ";

}  // namespace

void EventLogAppender::write(int level, int, const std::wstring& prefix, const std::wstring& message)
{
    // Warnings about the log file itself come here too: the log file may be
    // just what cannot hold them.
    const bool aboutTheLogFile = level == LEVEL_WARN && prefix.compare(0, LOG_FILE_LOGGER.size(), LOG_FILE_LOGGER) == 0;
    if (isEnabled(level) || aboutTheLogFile) {
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
