#pragma once

#include <string>

#include "eventlog/EventLog.h"
#include "logging/LogAppender.h"
#include "logging/LogLevel.h"
#include "logging/ServiceEvents.h"

// The running service's records in the Event Log, under the service's name,
// the one the service control manager started it under: its error messages as
// records of id 404, and from its construction on its events as records of
// their own ids. Its own threshold is Error, whatever the process-wide one;
// only warnings about the log file itself and restarts of the program pass as well.
class EventLogAppender : public LogAppender, public LogLevelSetup, public EventLog, public ServiceEventSink {
public:
    explicit EventLogAppender(const std::wstring& serviceName);
    ~EventLogAppender() override { detach(); }

    // The record carries the message alone, without the logger prefix.
    void write(int level, int threshold, const std::wstring& prefix, const std::wstring& message) override;
    // The service's name, then the event's strings.
    void onServiceEvent(const ServiceEvent& event) override;

private:
    // Last, so that it goes first.
    ServiceEvents::Attachment attachment_{this};
};

// Warn becomes a Warning record, Error an Error record, anything else Info.
const EventLog::Severity& severityForLevel(int level);
