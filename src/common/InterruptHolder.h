#pragma once

#include <atomic>
#include <string>

// Cancellation flag shared along a chain of long-running operations: one
// thread sets it, others read it while they work.
class InterruptHolder {
public:
    explicit InterruptHolder(InterruptHolder* parent = nullptr) : parent_(parent) {}
    virtual ~InterruptHolder() = default;

    void setParent(InterruptHolder* parent) { parent_ = parent; }

    bool isInterrupted() const
    {
        for (const InterruptHolder* holder = this; holder != nullptr; holder = holder->parent_) {
            if (holder->interrupted_) {
                return true;
            }
        }
        return false;
    }

    void interrupt()
    {
        for (InterruptHolder* holder = this; holder != nullptr; holder = holder->parent_) {
            holder->interrupted_ = true;
        }
    }

    const wchar_t* interruptedText() const { return isInterrupted() ? L"true" : L"false"; }

private:
    InterruptHolder* parent_;
    std::atomic<bool> interrupted_{false};
};
