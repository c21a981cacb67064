#pragma once

#include <windows.h>

#include "common/InterruptHolder.h"
#include "common/UniqueResource.h"
#include "process/ProcessInterruptTimeoutHandler.h"

// The gentle stop is the configured stop command, run on a thread of its
// own; when the time is up, the stop command and the child are terminated.
class ProcessInterruptCallProcessHandler : public ProcessInterruptTimeoutHandler {
public:
    using ProcessInterruptTimeoutHandler::ProcessInterruptTimeoutHandler;
    // Terminates a stop command that still runs and waits for its thread.
    ~ProcessInterruptCallProcessHandler() override;

protected:
    bool beginStop(const ChildProcess& child) override;
    void onTimeout(const ChildProcess& child) override;

private:
    static DWORD WINAPI threadMain(LPVOID parameter);
    void runStopCommand();
    void waitForStopCommand();

    ProcessInterruptTerminateHandler stopCommandKiller_;
    InterruptHolder stopHolder_;
    UniqueHandle thread_;
    DWORD threadId_ = 0;
};
