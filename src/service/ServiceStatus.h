#pragma once

#include <windows.h>

#include <atomic>
#include <functional>

#include "common/UniqueResource.h"
#include "logging/CriticalSection.h"
#include "process/Heartbeat.h"

class StatusValue;

// Reports the service's state from a thread of its own: a pending state is
// re-sent every 600 ms, a settled state once, and the thread ends after
// reporting "stopped". No other code calls SetServiceStatus. The checkpoint
// rises with each new value, and for a value re-sent only when the thread that
// does the work has beaten since: a start or stop that hangs shows as hung.
// Once "stopped" is reported the process may end at any moment, so it is the
// last thing the service does and the thread does nothing after it.
class ServiceStatus : public Heartbeat {
public:
    using Reporter = BOOL(WINAPI*)(SERVICE_STATUS_HANDLE, LPSERVICE_STATUS);

    // While it lives, tells `observer` every state stored, in the order they
    // are stored: under the lock that orders them, so the observer must not
    // call this object.
    class Observation {
    public:
        Observation(ServiceStatus* status, std::function<void(const StatusValue&)> observer);
        ~Observation();
        Observation(const Observation&) = delete;
        Observation& operator=(const Observation&) = delete;

    private:
        ServiceStatus* status_;
    };

    ServiceStatus(SERVICE_STATUS_HANDLE statusHandle, DWORD controlsAccepted, Reporter reporter = SetServiceStatus);
    virtual ~ServiceStatus();
    ServiceStatus(const ServiceStatus&) = delete;
    ServiceStatus& operator=(const ServiceStatus&) = delete;

    // Stores the value and wakes the status thread; returns once the value
    // (or a later one) has been reported, or after REPORT_WAIT. A control
    // handler's "stop pending" is thus known to the control manager before the
    // handler returns, and a second stop request finds the service stopping.
    // Once a stop is under way, "starting" and "running" are no longer stored:
    // the control manager must not see the service run again while it stops.
    // True when the value was stored.
    bool setStatus(const StatusValue& value);
    // Returns once the status thread has reported "stopped" and ended (at
    // once when it could not be started).
    void waitUntilStopped();
    // Makes the final "stopped" report say that the service failed, so that
    // the recovery actions configured for the service run.
    void setFailureExitCode(DWORD serviceSpecificExitCode);
    // The wait hint of "starting" reports, for a start that may take longer
    // than the usual 3 seconds to be reported running; never less than those.
    void setStartWaitHint(DWORD milliseconds);
    // The work goes on; true while the value is a pending one.
    bool beat() override;

private:
    static DWORD WINAPI threadMain(LPVOID parameter);
    void run();
    SERVICE_STATUS record(const StatusValue& value, DWORD checkPoint) const;
    struct Stored {
        const StatusValue* value;
        DWORD sequence;
    };
    DWORD store(const StatusValue& value);
    void waitUntilReported(DWORD sequence);
    Stored latest();
    void markReported(DWORD sequence);

    SERVICE_STATUS_HANDLE statusHandle_;
    DWORD controlsAccepted_;
    Reporter reporter_;
    CriticalSection currentLock_;
    std::atomic<const StatusValue*> current_{nullptr};
    std::function<void(const StatusValue&)> observer_;  // under currentLock_
    // Values stored and reported so far, counted under currentLock_.
    DWORD stored_ = 0;
    DWORD reported_ = 0;
    CONDITION_VARIABLE reportedCondition_ = CONDITION_VARIABLE_INIT;
    std::atomic<DWORD> failureExitCode_{0};
    std::atomic<DWORD> beats_{0};
    std::atomic<bool> pending_{false};
    std::atomic<DWORD> startWaitHint_;
    UniqueHandle thread_;
    DWORD threadId_ = 0;
    UniqueHandle wakeEvent_;
};
