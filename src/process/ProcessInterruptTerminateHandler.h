#pragma once

#include <string>

#include "common/InterruptHolder.h"
#include "process/ProcessInterruptHandler.h"

// Terminates the child (and what it started) at once with exit code 42.
// Its flag is set once the child has been terminated; a failed termination
// is tried again after RETRY_INTERVAL.
class ProcessInterruptTerminateHandler : public ProcessInterruptHandler, public InterruptHolder {
public:
    static const unsigned int TERMINATED_EXIT_CODE = 42;
    static const DWORD RETRY_INTERVAL = 500;

    // `killed` names the child in the log: "Service process", "Stop command process".
    explicit ProcessInterruptTerminateHandler(std::wstring killed = L"Service process") : killed_(std::move(killed)) {}

    DWORD handle(const ChildProcess& child) override;
    StopStep lastStep() const override { return isInterrupted() ? StopStep::Kill : StopStep::None; }

private:
    std::wstring killed_;
};
