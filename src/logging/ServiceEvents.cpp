#include "logging/ServiceEvents.h"

#include <algorithm>

#include "logging/Logger.h"
#include "logging/LoggerSetup.h"

namespace {

// Guarded by the logging configuration's lock, as every delivery is: an event
// takes its place among the log's records, a sink may log while it receives
// one, and a sink is never detached in the middle of one.
std::vector<ServiceEventSink*>& sinks()
{
    static std::vector<ServiceEventSink*> attached;
    return attached;
}

std::wstring number(unsigned long long value) { return std::to_wstring(value); }

}  // namespace

ServiceEvents::Attachment::Attachment(ServiceEventSink* sink) : sink_(sink)
{
    ScopedLock lock(LoggerHolder::setup());
    sinks().push_back(sink_);
}

ServiceEvents::Attachment::~Attachment()
{
    ScopedLock lock(LoggerHolder::setup());
    std::vector<ServiceEventSink*>& attached = sinks();
    attached.erase(std::remove(attached.begin(), attached.end(), sink_), attached.end());
}

void ServiceEvents::report(const ServiceEvent& event)
{
    ScopedLock lock(LoggerHolder::setup());
    for (ServiceEventSink* sink : sinks()) {
        sink->onServiceEvent(event);
    }
}

void ServiceEvents::programStarted(DWORD processId, const std::wstring& commandLine)
{
    report({ServiceEventId::ProgramStarted, EVENTLOG_INFORMATION_TYPE, {number(processId), commandLine}});
}

void ServiceEvents::ready(const std::wstring& how, ULONGLONG milliseconds)
{
    report({ServiceEventId::Ready, EVENTLOG_INFORMATION_TYPE, {how, number(milliseconds)}});
}

void ServiceEvents::stoppedOnRequest(const std::wstring& how, ULONGLONG milliseconds)
{
    report({ServiceEventId::StoppedOnRequest, EVENTLOG_INFORMATION_TYPE, {how, number(milliseconds)}});
}

void ServiceEvents::programEnded(DWORD exitCode, ULONGLONG runMilliseconds)
{
    report({ServiceEventId::ProgramEnded, EVENTLOG_WARNING_TYPE, {number(exitCode), number(runMilliseconds)}});
}

void ServiceEvents::restartScheduled(unsigned restart, ULONGLONG delayMilliseconds)
{
    report({ServiceEventId::RestartScheduled, EVENTLOG_WARNING_TYPE, {number(restart), number(delayMilliseconds)}});
}

void ServiceEvents::healthCheckFailed(const std::wstring& probe, const std::wstring& answer, unsigned failuresInARow)
{
    report({ServiceEventId::HealthCheckFailed, EVENTLOG_WARNING_TYPE, {probe, answer, number(failuresInARow)}});
}

void ServiceEvents::unhealthy(const std::wstring& probe, unsigned failures)
{
    report({ServiceEventId::Unhealthy, EVENTLOG_ERROR_TYPE, {probe, number(failures)}});
}

void ServiceEvents::gaveUp(const std::wstring& reason, DWORD serviceSpecificExitCode)
{
    report({ServiceEventId::GaveUp, EVENTLOG_ERROR_TYPE, {reason, number(serviceSpecificExitCode)}});
}

void ServiceEvents::recordsLost(unsigned long long count, const std::wstring& file, const std::wstring& reason)
{
    report({ServiceEventId::RecordsLost, EVENTLOG_WARNING_TYPE, {number(count), file, reason}, count});
}

void ServiceEvents::fileRefused(const std::wstring& file, const std::wstring& account, const std::wstring& right)
{
    report({ServiceEventId::FileRefused, EVENTLOG_ERROR_TYPE, {file, account, right}});
}

void ServiceEvents::recycled(const std::wstring& reason)
{
    report({ServiceEventId::Recycled, EVENTLOG_INFORMATION_TYPE, {reason}});
}
