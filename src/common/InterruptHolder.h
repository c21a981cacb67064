#pragma once

#include <windows.h>

#include <atomic>
#include <vector>

#include "common/UniqueResource.h"

// Cancellation flag shared along a chain of long-running operations: one
// thread sets it, others read it while they work or wait for it. Interrupting
// a holder interrupts its parents too, and a holder counts as interrupted when
// it or any parent is.
class InterruptHolder {
public:
    explicit InterruptHolder(InterruptHolder* parent = nullptr);
    virtual ~InterruptHolder() = default;
    InterruptHolder(const InterruptHolder&) = delete;
    InterruptHolder& operator=(const InterruptHolder&) = delete;

    void setParent(InterruptHolder* parent) { parent_ = parent; }

    bool isInterrupted() const;
    void interrupt();
    const wchar_t* interruptedText() const { return isInterrupted() ? L"true" : L"false"; }

    // The events that are set when this holder counts as interrupted: its own
    // and its parents'. False when one could not be created; then a waiter
    // must also look at isInterrupted from time to time.
    bool interruptEvents(std::vector<HANDLE>& events) const;
    // Waits until this holder counts as interrupted, at most `milliseconds`
    // (less than INFINITE); true when it was interrupted.
    bool waitForInterrupt(DWORD milliseconds) const;

private:
    InterruptHolder* parent_;
    std::atomic<bool> interrupted_{false};
    // Manual-reset: once set it stays set, as the flag does.
    UniqueHandle event_;
};
