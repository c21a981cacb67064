#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "settings/RecyclePolicy.h"

// The wall clock in local time, in 100 ns units since 1601 as if it were
// UTC: it jumps where the clock is set, or where daylight saving time begins
// or ends.
using LocalClock = std::function<ULONGLONG()>;
ULONGLONG localClockNow();

// Decides when a run of the program is due for a planned restart, by the
// tick counter of the thread that supervises it: when its committed memory
// was over the limit at two checks in a row, 5 s apart; when it has run for
// `every`; or when the local clock has passed one of the `at` times. A time
// that the clock skips counts once the clock is past it; a time the clock
// shows twice counts once.
class RecyclePlan {
public:
    explicit RecyclePlan(const RecyclePolicy& policy, LocalClock clock = localClockNow);

    // A run started at `tick`.
    void onRunStarted(ULONGLONG tick);
    // The tick at which to look again.
    ULONGLONG nextLook() const;
    // Looks at `tick`, which nextLook() has reached; `committed` measures the
    // program's memory when a check is due. The reason the run is to be
    // recycled ("memory 1600MB over 1500MB", "every 24h", "at 03:00"), or
    // empty when it is not.
    std::wstring look(ULONGLONG tick, const std::function<unsigned long long()>& committed);

private:
    std::wstring checkMemory(unsigned long long committed);
    std::wstring lookAtClock(ULONGLONG tick);
    // The first of the times after the local time `local`.
    ULONGLONG timeAfter(ULONGLONG local) const;

    RecyclePolicy policy_;
    LocalClock clock_;
    // The ticks when each is due; 0: never.
    ULONGLONG everyDue_ = 0;
    ULONGLONG memoryDue_ = 0;
    ULONGLONG clockDue_ = 0;
    // Checks in a row that found the memory over the limit.
    unsigned overLimit_ = 0;
    // The latest local time looked at: times up to it have counted.
    ULONGLONG seen_ = 0;
};
