#pragma once

#include <atomic>

#include "process/ProcessInterruptHandler.h"
#include "process/ProcessInterruptTerminateHandler.h"

class ServiceTaskSettings;

// Asks the child to stop gently (the configured console event first, then
// whatever the derived class does) and gives it the stop timeout to end; when
// it has not, or when nothing could be asked of it, falls back to terminating it.
class ProcessInterruptTimeoutHandler : public ProcessInterruptHandler {
public:
    // `consoleEventReceived`, when given, is set once the program has had the
    // event from the console it shares with the wrapper: it is not sent twice.
    ProcessInterruptTimeoutHandler(const ServiceTaskSettings* settings, const std::atomic<bool>* consoleEventReceived)
        : settings_(settings), consoleEventReceived_(consoleEventReceived)
    {
    }

    DWORD handle(const ChildProcess& child) override;
    StopStep lastStep() const override;

protected:
    // Starts the gentle stop; false when there is none under way.
    virtual bool beginStop(const ChildProcess& child) = 0;
    virtual DWORD onTimeout(const ChildProcess& child);

    const ServiceTaskSettings* settings_;
    ProcessInterruptTerminateHandler fallback_;

private:
    // False when no event is configured or it could not be sent.
    bool sendStopEvent(const ChildProcess& child);
    DWORD remaining() const;

    const std::atomic<bool>* consoleEventReceived_;
    bool eventSent_ = false;
    bool stopBegun_ = false;
    bool gaveUp_ = false;
    bool begun_ = false;
    ULONGLONG deadline_ = 0;
};
