#include "logging/RetryTimer.h"

#include "logging/ThreadFailure.h"

void RetryTimer::stop()
{
    if (timer_ != nullptr) {
        // The documented way to close a timer that no callback may outlive.
        SetThreadpoolTimer(timer_, nullptr, 0, 0);
        WaitForThreadpoolTimerCallbacks(timer_, TRUE);
        CloseThreadpoolTimer(timer_);
        timer_ = nullptr;
    }
}

// Without a timer the count waits for the next record or the stop.
void RetryTimer::setIn(DWORD milliseconds)
{
    if (timer_ == nullptr) {
        timer_ = CreateThreadpoolTimer(onTimer, this, nullptr);
        if (timer_ == nullptr) {
            return;
        }
    }
    // Negative: relative to now, in units of 100 ns.
    ULARGE_INTEGER due;
    due.QuadPart = static_cast<ULONGLONG>(-static_cast<LONGLONG>(milliseconds) * 10000);
    FILETIME dueTime = {due.LowPart, due.HighPart};
    SetThreadpoolTimer(timer_, &dueTime, 0, 0);
}

VOID CALLBACK RetryTimer::onTimer(PTP_CALLBACK_INSTANCE, PVOID context, PTP_TIMER)
{
    auto* timer = static_cast<RetryTimer*>(context);
    fenced(L"Log retry", [timer] { timer->onDue_(); });
}
