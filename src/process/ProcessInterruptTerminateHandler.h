#pragma once

#include <string>

#include "common/InterruptHolder.h"
#include "process/ProcessInterruptHandler.h"

// Terminates the child (and what it started) at once with exit code 42.
// Its flag is set once the child has been terminated; a failed termination
// is tried again after RETRY_INTERVAL. A child that has not ended `killWait`
// after the first attempt is given up: a process stuck in I/O that a hung
// share or driver never completes cannot end at all, and the service must.
class ProcessInterruptTerminateHandler : public ProcessInterruptHandler, public InterruptHolder {
public:
    static const unsigned int TERMINATED_EXIT_CODE = 42;
    static const DWORD RETRY_INTERVAL = 500;
    static const DWORD KILL_WAIT = 30000;

    // `killed` names the child in the log: "Service process", "Stop command process".
    explicit ProcessInterruptTerminateHandler(std::wstring killed = L"Service process", DWORD killWait = KILL_WAIT)
        : killed_(std::move(killed)), killWait_(killWait)
    {
    }

    DWORD handle(const ChildProcess& child) override;
    StopStep lastStep() const override { return isInterrupted() ? StopStep::Kill : StopStep::None; }

private:
    std::wstring killed_;
    DWORD killWait_;
    bool killing_ = false;
    ULONGLONG killStarted_ = 0;
};
