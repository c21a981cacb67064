#pragma once

#include <windows.h>

#include "common/UniqueResource.h"

// A started child: its process and the job object that holds it and every
// process it starts, so that terminating it leaves none of them behind. The
// job ends them all when this object goes, or when the wrapper dies.
class ChildProcess {
public:
    ChildProcess(HANDLE process, HANDLE job) : process_(process), job_(job) {}
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    HANDLE process() const { return process_.get(); }
    // Ends the child and its descendants with the exit code.
    bool terminate(UINT exitCode) const;
    // How many processes of the child's job still run, its console host not
    // counted (0 without a job).
    DWORD runningDescendants() const;
    // The memory committed by the child and every process of its job
    // together, in bytes (the child's alone without a job).
    unsigned long long committedMemory() const;

private:
    UniqueHandle process_;
    UniqueHandle job_;
};
