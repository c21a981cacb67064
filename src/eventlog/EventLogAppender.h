#pragma once

#include <string>

#include "eventlog/EventLog.h"
#include "logging/LogAppender.h"
#include "logging/LogLevel.h"

// The running service's error messages as Event Log records under the
// service's name, the one the service control manager started it under. Its
// own threshold is Error, whatever the process-wide one; only warnings about
// the log file itself and restarts of the program pass as well.
class EventLogAppender : public LogAppender, public LogLevelSetup, public EventLog {
public:
    explicit EventLogAppender(const std::wstring& serviceName);
    ~EventLogAppender() override { detach(); }

    // The record carries the message alone, without the logger prefix.
    void write(int level, int threshold, const std::wstring& prefix, const std::wstring& message) override;
};

// Warn becomes a Warning record, Error an Error record, anything else Info.
const EventLog::Severity& severityForLevel(int level);
