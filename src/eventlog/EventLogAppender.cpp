#include "eventlog/EventLogAppender.h"

EventLogAppender::EventLogAppender(const std::wstring& serviceName)
    : LogLevelSetup(LEVEL_ERROR), EventLog(serviceName)
{
}

namespace {

// The logger of the log file, as it starts a prefix.
const std::wstring LOG_FILE_LOGGER = L"RollFileWriter ";
// The loggers that warn about each restart of the program and about a
// program that stopped answering.
const std::wstring RESTART_LOGGER = L"RestartSchedule ";
const std::wstring LIVENESS_LOGGER = L"LivenessCheck ";

bool startsWith(const std::wstring& text, const std::wstring& start) { return text.compare(0, start.size(), start) == 0; }

}  // namespace

void EventLogAppender::write(int level, int, const std::wstring& prefix, const std::wstring& message)
{
    // Warnings about the log file itself come here too: the log file may be
    // just what cannot hold them. So do restarts of the program and its
    // health: a service that keeps failing and restarting looks healthy to
    // the control manager.
    const bool passedWarning = level == LEVEL_WARN && (startsWith(prefix, LOG_FILE_LOGGER) ||
                                                       startsWith(prefix, RESTART_LOGGER) ||
                                                       startsWith(prefix, LIVENESS_LOGGER));
    if (isEnabled(level) || passedWarning) {
        Write(severityForLevel(level), message);
    }
}

void EventLogAppender::onServiceEvent(const ServiceEvent& event)
{
    WriteRecord(event.type, static_cast<DWORD>(event.id), event.strings);
}

const EventLog::Severity& severityForLevel(int level)
{
    switch (level) {
    case LEVEL_WARN: return EventLog::Warning;
    case LEVEL_ERROR: return EventLog::Error;
    default: return EventLog::Info;
    }
}
