#pragma once

#include <windows.h>

#include <vector>

class ChildProcess;

// What the thread that supervises a run waits for besides the program's end,
// its output and the stop request: probes of the program and their timers.
// Every call comes from that thread.
class RunWatcher {
public:
    virtual ~RunWatcher() = default;
    // The program of the run has started; `child` lives until onRunEnded.
    virtual void onRunStarted(const ChildProcess& child) = 0;
    // Adds the handles to wait for now.
    virtual void addHandles(std::vector<HANDLE>& handles) = 0;
    // One of the handles is set; true when the program is to be stopped.
    virtual bool onSignalled(HANDLE handle) = 0;
    // The run is over or being stopped: what is under way is abandoned.
    virtual void onRunEnded() = 0;
};
