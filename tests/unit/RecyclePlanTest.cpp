#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <string>

#include "service/RecyclePlan.h"

// When a run is due for a planned restart: the memory check, the run time and
// the times of day on a local clock that the test sets.

namespace {

const ULONGLONG MS = 10000;
const ULONGLONG MINUTE = 60000 * MS;
const ULONGLONG DAY = 24 * 60 * MINUTE;
// A local midnight, as the clock counts it.
const ULONGLONG MIDNIGHT = 154000 * DAY;

ULONGLONG clockAt(int hours, int minutes, int seconds = 0)
{
    return MIDNIGHT + static_cast<ULONGLONG>((hours * 60 + minutes) * 60 + seconds) * 1000 * MS;
}

// Runs the plan's looks on the tick counter up to `until`, while the clock
// goes with it from `clock`; the first reason, or empty.
std::wstring lookUntil(RecyclePlan& plan, ULONGLONG& tick, ULONGLONG until, ULONGLONG& clock,
                       unsigned long long memory = 0)
{
    while (plan.nextLook() <= until) {
        const ULONGLONG next = plan.nextLook();
        EXPECT_GT(next, tick) << "a look that is not later than the one before";
        clock += (next - tick) * MS;
        tick = next;
        const std::wstring reason = plan.look(tick, [memory] { return memory; });
        if (!reason.empty()) {
            return reason;
        }
    }
    clock += (until - tick) * MS;
    tick = until;
    return std::wstring();
}

}  // namespace

TEST(RecyclePlan, TimesOfDayFollowTheLocalClockThroughItsChangesAndATimeShownTwiceCountsOnce)
{
    RecyclePolicy policy;
    policy.at = {2 * 60 + 30, 15 * 60};
    ULONGLONG clock = clockAt(1, 0);
    RecyclePlan plan(policy, [&clock] { return clock; });
    ULONGLONG tick = 1000;
    plan.onRunStarted(tick);
    // Looked at at least once a minute, so that a change of the clock is seen.
    EXPECT_LE(plan.nextLook() - tick, 60000u);

    // 02:30 comes on time.
    EXPECT_EQ(lookUntil(plan, tick, tick + 89 * 60000, clock), L"") << "recycled before 02:30";
    EXPECT_EQ(lookUntil(plan, tick, tick + 2 * 60000, clock), L"at 02:30");
    EXPECT_LE(clock, clockAt(2, 30, 1)) << "02:30 came late";

    // At 03:00 the clock goes back to 02:00: the second 02:30 does not count.
    plan.onRunStarted(tick);
    EXPECT_EQ(lookUntil(plan, tick, tick + 29 * 60000, clock), L"");
    clock -= 60 * MINUTE;
    EXPECT_EQ(lookUntil(plan, tick, tick + 70 * 60000, clock), L"") << "a time the clock showed twice counted twice";

    // Through the day to 15:00.
    EXPECT_EQ(lookUntil(plan, tick, tick + 12 * 60 * 60000, clock), L"at 15:00");

    // The next night the clock skips from 02:00 to 03:00: 02:30 counts once it is past.
    plan.onRunStarted(tick);
    clock = clockAt(1, 59) + DAY;
    EXPECT_EQ(lookUntil(plan, tick, tick + 60000, clock), L"");
    clock += 60 * MINUTE;
    const ULONGLONG skipped = tick;
    EXPECT_EQ(lookUntil(plan, tick, tick + 2 * 60000, clock), L"at 02:30");
    EXPECT_LE(tick - skipped, 60000u) << "the skipped time was taken more than a minute after the clock passed it";

    // A clock set back by a day was wrong: its times count again.
    plan.onRunStarted(tick);
    clock -= DAY;
    EXPECT_EQ(lookUntil(plan, tick, tick + 13 * 60 * 60000, clock), L"at 15:00");

    // Times that passed while no program ran do not count for the next run.
    clock += 20 * 60 * MINUTE;
    plan.onRunStarted(tick);
    EXPECT_EQ(plan.look(plan.nextLook(), [] { return 0ULL; }), L"");
}

TEST(RecyclePlan, MemoryOverTheLimitAtTwoChecksInARowAndARunAsLongAsEveryAreDue)
{
    RecyclePolicy policy;
    policy.memory = 64LL << 20;
    ULONGLONG clock = clockAt(12, 0);
    RecyclePlan plan(policy, [&clock] { return clock; });
    ULONGLONG tick = 500;
    plan.onRunStarted(tick);
    const auto check = [&plan](unsigned long long committed) {
        return plan.look(plan.nextLook(), [committed] { return committed; });
    };
    EXPECT_EQ(plan.nextLook(), 5500u);
    EXPECT_EQ(check(65ULL << 20), L"");
    EXPECT_EQ(check(64ULL << 20), L"") << "the limit itself is not over it";
    EXPECT_EQ(check((200ULL << 20) + 1), L"");
    EXPECT_EQ(plan.nextLook(), 20500u) << "not every 5 s";
    EXPECT_EQ(check(200ULL << 20), L"memory 200MB over 64MB");
    // A new run starts counting from none.
    plan.onRunStarted(30000);
    EXPECT_EQ(check(300ULL << 20), L"");
    EXPECT_EQ(check((300ULL << 20) + 1), L"memory 301MB over 64MB");

    policy = RecyclePolicy();
    policy.every = std::chrono::seconds(3);
    RecyclePlan every(policy, [&clock] { return clock; });
    every.onRunStarted(1000);
    EXPECT_EQ(every.nextLook(), 4000u);
    EXPECT_EQ(every.look(3999, [] { return 0ULL; }), L"");
    EXPECT_EQ(every.look(4000, [] { return 0ULL; }), L"every 3s");
    every.onRunStarted(9000);
    EXPECT_EQ(every.nextLook(), 12000u);
}
