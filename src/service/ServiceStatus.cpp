#include "service/ServiceStatus.h"

#include <algorithm>

#include "logging/ErrorText.h"
#include "logging/Logger.h"
#include "logging/ThreadFailure.h"
#include "service/StatusValue.h"

namespace {

const Logger logger(L"ServiceStatus");
const DWORD PENDING_INTERVAL = 600;
const DWORD WAIT_HINT = 3000;
const DWORD REPORT_WAIT = 2000;
const DWORD FIRST_CHECKPOINT = 42;

}  // namespace

ServiceStatus::Observation::Observation(ServiceStatus* status, std::function<void(const StatusValue&)> observer)
    : status_(status)
{
    ScopedLock lock(status_->currentLock_);
    status_->observer_ = std::move(observer);
}

ServiceStatus::Observation::~Observation()
{
    ScopedLock lock(status_->currentLock_);
    status_->observer_ = nullptr;
}

ServiceStatus::ServiceStatus(SERVICE_STATUS_HANDLE statusHandle, DWORD controlsAccepted, Reporter reporter)
    : statusHandle_(statusHandle), controlsAccepted_(controlsAccepted), reporter_(reporter), startWaitHint_(WAIT_HINT)
{
    wakeEvent_.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!wakeEvent_) {
        logger.error(L"Failed to create ManualResetEvent. %s", lastErrorText());
        return;
    }
    thread_.reset(CreateThread(nullptr, 0, threadMain, this, 0, &threadId_));
    if (!thread_) {
        logger.error(L"Failed to create ServiceStatusThread. %s", lastErrorText());
        threadId_ = 0;
    }
}

ServiceStatus::~ServiceStatus()
{
    if (!thread_) {
        return;
    }
    if (WaitForSingleObject(thread_.get(), 5000) != WAIT_OBJECT_0) {
        logger.warn(L"Failed to wait for status thread to exit");
        // The thread still reads this object: it must not disappear under it.
        setStatus(StatusValue::STOPPED);
        WaitForSingleObject(thread_.get(), INFINITE);
    }
}

bool ServiceStatus::setStatus(const StatusValue& value)
{
    const DWORD sequence = store(value);
    if (sequence == 0) {
        return false;
    }
    logger.debug(L"Set status to: %s", value.name);
    SetEvent(wakeEvent_.get());
    // After "stopped" the status thread does nothing more, not even this signal.
    if (!value.terminal) {
        waitUntilReported(sequence);
    }
    return true;
}

// The value's number in the sequence of stored values; 0 when it is ignored.
DWORD ServiceStatus::store(const StatusValue& value)
{
    ScopedLock lock(currentLock_);
    const StatusValue* current = current_;
    const bool stopping = current == &StatusValue::STOPPING || current == &StatusValue::STOPPED;
    if (stopping && (&value == &StatusValue::STARTING || &value == &StatusValue::RUNNING)) {
        logger.debug(L"Status %s ignored: the service is stopping", value.name);
        return 0;
    }
    current_ = &value;
    pending_ = value.pending;
    if (observer_) {
        observer_(value);
    }
    return ++stored_;
}

void ServiceStatus::waitUntilReported(DWORD sequence)
{
    if (!thread_) {
        return;
    }
    const ULONGLONG deadline = GetTickCount64() + REPORT_WAIT;
    ScopedLock lock(currentLock_);
    while (reported_ < sequence) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline || !currentLock_.wait(reportedCondition_, static_cast<DWORD>(deadline - now))) {
            logger.debug(L"Status not reported within %d ms", static_cast<int>(REPORT_WAIT));
            return;
        }
    }
}

ServiceStatus::Stored ServiceStatus::latest()
{
    ScopedLock lock(currentLock_);
    return {current_, stored_};
}

void ServiceStatus::markReported(DWORD sequence)
{
    {
        ScopedLock lock(currentLock_);
        reported_ = sequence;
    }
    WakeAllConditionVariable(&reportedCondition_);
}

void ServiceStatus::waitUntilStopped()
{
    if (thread_) {
        WaitForSingleObject(thread_.get(), INFINITE);
    }
}

void ServiceStatus::setFailureExitCode(DWORD serviceSpecificExitCode) { failureExitCode_ = serviceSpecificExitCode; }

void ServiceStatus::setStartWaitHint(DWORD milliseconds) { startWaitHint_ = std::max(milliseconds, WAIT_HINT); }

bool ServiceStatus::beat()
{
    ++beats_;
    return pending_;
}

DWORD WINAPI ServiceStatus::threadMain(LPVOID parameter)
{
    return fenced(L"Service status reporter", [parameter] { static_cast<ServiceStatus*>(parameter)->run(); }) ? 0 : 1;
}

void ServiceStatus::run()
{
    const Logger threadLogger(L"ServiceStatus::Thread");
    DWORD checkPoint = FIRST_CHECKPOINT;
    DWORD waitTime = INFINITE;
    DWORD lastSequence = 0;
    DWORD lastBeats = beats_;
    for (;;) {
        WaitForSingleObject(wakeEvent_.get(), waitTime);
        const Stored stored = latest();
        const StatusValue* value = stored.value;
        if (value == nullptr) {
            waitTime = INFINITE;
            continue;
        }
        // A new value is progress; the same value again only when the work has beaten since.
        const DWORD beats = beats_;
        if (stored.sequence != lastSequence || beats != lastBeats) {
            ++checkPoint;
        }
        lastSequence = stored.sequence;
        lastBeats = beats;
        SERVICE_STATUS status = record(*value, checkPoint);
        threadLogger.debug(L"Call SetServiceStatus called for: %s", value->name);
        if (value->terminal) {
            threadLogger.debug(L"Recieved final event. Thread exiting");
            reporter_(statusHandle_, &status);
            return;
        }
        if (!reporter_(statusHandle_, &status)) {
            threadLogger.warn(L"Failed to set service status: %s", lastErrorText());
        }
        markReported(stored.sequence);
        waitTime = value->pending ? PENDING_INTERVAL : INFINITE;
    }
}

SERVICE_STATUS ServiceStatus::record(const StatusValue& value, DWORD checkPoint) const
{
    SERVICE_STATUS status = {};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = value.state;
    status.dwControlsAccepted = controlsAccepted_;
    // A settled state carries neither: they describe the progress of a pending one.
    if (value.pending) {
        status.dwCheckPoint = checkPoint;
        status.dwWaitHint = &value == &StatusValue::STARTING ? startWaitHint_.load() : WAIT_HINT;
    }
    if (value.terminal && failureExitCode_ != 0) {
        status.dwWin32ExitCode = ERROR_SERVICE_SPECIFIC_ERROR;
        status.dwServiceSpecificExitCode = failureExitCode_;
    }
    return status;
}
