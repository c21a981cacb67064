#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "common/InterruptHolder.h"
#include "common/UniqueResource.h"
#include "logging/CriticalSection.h"
#include "service/ServiceTask.h"

// Runs the work on a thread of its own and reports "stopping" on a stop
// request; the work reports "starting" once it knows how long it may take.
// Its flag is set once a stop was requested; a requested stop before the
// start keeps the work from starting at all.
class ThreadedServiceTask : public ServiceTask, public InterruptHolder, public CriticalSection {
public:
    ~ThreadedServiceTask() override;

    void CallStartService() override;
    void CallStopService() override;
    // Returns once the work thread has ended, at once when none was started.
    // Called by the thread that called CallStartService.
    void waitUntilFinished();

protected:
    virtual void run() = 0;
    // Interrupts a work thread that still runs and waits for it. The most
    // derived task calls it from its destructor: once that has run, the
    // thread could no longer call the task's run.
    void stopAndWait();
    // Makes the final "stopped" report say that the service failed, and
    // records that it gives up and why (one of GiveUpReason's).
    void reportFailure(DWORD serviceSpecificExitCode, const std::wstring& reason);
    // The tick of the first stop request; 0 before one.
    ULONGLONG stopRequestedAt() const { return stopRequestedAt_; }

private:
    static DWORD WINAPI threadMain(LPVOID parameter);
    void finish();

    DWORD threadId_ = 0;
    // Kept after the thread has finished: its last steps may still be running.
    UniqueHandle thread_;
    bool running_ = false;
    std::atomic<ULONGLONG> stopRequestedAt_{0};
};
