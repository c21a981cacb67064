#pragma once

#include <windows.h>

#include <atomic>

#include "common/InterruptHolder.h"
#include "common/UniqueResource.h"
#include "process/ProcessInterruptTimeoutHandler.h"

class EnvironmentBlock;
class StartGate;

// The gentle stop is the configured stop command, run on a thread of its
// own; when the time is up, the stop command and the child are terminated.
class ProcessInterruptCallProcessHandler : public ProcessInterruptTimeoutHandler {
public:
    // The stop command starts with the program's environment, once `gate`,
    // when given, trusts the files that decide what runs.
    ProcessInterruptCallProcessHandler(const ServiceTaskSettings* settings, const EnvironmentBlock* environment,
                                       const std::atomic<bool>* consoleEventReceived, StartGate* gate = nullptr)
        : ProcessInterruptTimeoutHandler(settings, consoleEventReceived), environment_(environment), gate_(gate),
          started_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
    }
    // Terminates a stop command that still runs and waits for its thread.
    ~ProcessInterruptCallProcessHandler() override;

    // True when the stop command was refused for its files, or did not end
    // after it was killed.
    bool stopFailed() const { return refused_ || stopCommandGivenUp_; }

protected:
    // True once the stop command runs; false when it could not be started.
    bool beginStop(const ChildProcess& child) override;
    DWORD onTimeout(const ChildProcess& child) override;

private:
    static DWORD WINAPI threadMain(LPVOID parameter);
    void runStopCommand();
    void waitForStopCommand();

    const EnvironmentBlock* environment_;
    StartGate* gate_;
    bool refused_ = false;
    std::atomic<bool> stopCommandGivenUp_{false};
    ProcessInterruptTerminateHandler stopCommandKiller_{L"Stop command process"};
    InterruptHolder stopHolder_;
    // Set once the stop command's process runs.
    UniqueHandle started_;
    UniqueHandle thread_;
    DWORD threadId_ = 0;
};
