#pragma once

#include <windows.h>

#include <functional>

// Calls a function once, on a thread of the process's thread pool, when the
// time it was set to has passed; no thread waits for it meanwhile.
class RetryTimer {
public:
    explicit RetryTimer(std::function<void()> onDue) : onDue_(std::move(onDue)) {}
    ~RetryTimer() { stop(); }
    RetryTimer(const RetryTimer&) = delete;
    RetryTimer& operator=(const RetryTimer&) = delete;

    // Sets it to `milliseconds` from now, in place of any earlier time.
    void setIn(DWORD milliseconds);
    // Drops the call to come and waits for one under way: never under a lock the call takes.
    void stop();

private:
    static VOID CALLBACK onTimer(PTP_CALLBACK_INSTANCE instance, PVOID context, PTP_TIMER timer);

    std::function<void()> onDue_;
    PTP_TIMER timer_ = nullptr;
};
