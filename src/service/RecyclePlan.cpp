#include "service/RecyclePlan.h"

#include <algorithm>

#include "settings/ByteSize.h"
#include "settings/Duration.h"
#include "settings/RecycleSettings.h"

namespace {

const ULONGLONG MEMORY_CHECK_INTERVAL = 5000;
// The clock is looked at this often besides at the times, so that a clock
// that is set, or changes to or from daylight saving time, is noticed within it.
const ULONGLONG CLOCK_LOOK_INTERVAL = 60000;
const ULONGLONG UNITS_PER_MS = 10000;
const ULONGLONG UNITS_PER_MINUTE = 60000 * UNITS_PER_MS;
const ULONGLONG UNITS_PER_DAY = 24 * 60 * UNITS_PER_MINUTE;
// A clock set back further than any daylight saving change was corrected: the
// times count again from where it stands.
const ULONGLONG LONGEST_REPEAT = 3 * 60 * UNITS_PER_MINUTE;
const unsigned long long MB = 1024 * 1024;

}  // namespace

ULONGLONG localClockNow()
{
    SYSTEMTIME local = {};
    GetLocalTime(&local);
    FILETIME units = {};
    SystemTimeToFileTime(&local, &units);
    return static_cast<ULONGLONG>(units.dwHighDateTime) << 32 | units.dwLowDateTime;
}

RecyclePlan::RecyclePlan(const RecyclePolicy& policy, LocalClock clock) : policy_(policy), clock_(std::move(clock)) {}

void RecyclePlan::onRunStarted(ULONGLONG tick)
{
    everyDue_ = policy_.every.count() != 0 ? tick + static_cast<ULONGLONG>(policy_.every.count()) : 0;
    memoryDue_ = policy_.memory != 0 ? tick + MEMORY_CHECK_INTERVAL : 0;
    overLimit_ = 0;
    // Times that passed while no program ran do not count.
    if (!policy_.at.empty()) {
        lookAtClock(tick);
    }
}

ULONGLONG RecyclePlan::nextLook() const
{
    ULONGLONG next = 0;
    for (const ULONGLONG due : {everyDue_, memoryDue_, clockDue_}) {
        if (due != 0 && (next == 0 || due < next)) {
            next = due;
        }
    }
    return next;
}

std::wstring RecyclePlan::look(ULONGLONG tick, const std::function<unsigned long long()>& committed)
{
    std::wstring reason;
    if (everyDue_ != 0 && tick >= everyDue_) {
        reason = L"every " + formatDuration(policy_.every);
    }
    if (clockDue_ != 0 && tick >= clockDue_) {
        const std::wstring time = lookAtClock(tick);
        reason = reason.empty() ? time : reason;
    }
    if (memoryDue_ != 0 && tick >= memoryDue_) {
        memoryDue_ = tick + MEMORY_CHECK_INTERVAL;
        const std::wstring over = checkMemory(committed());
        reason = reason.empty() ? over : reason;
    }
    return reason;
}

std::wstring RecyclePlan::checkMemory(unsigned long long committed)
{
    if (committed <= static_cast<unsigned long long>(policy_.memory)) {
        overLimit_ = 0;
        return std::wstring();
    }
    if (++overLimit_ < 2) {
        return std::wstring();
    }
    // Rounded up: what is over the limit never reads as the limit.
    return L"memory " + std::to_wstring((committed + MB - 1) / MB) + L"MB over " + formatByteSize(policy_.memory);
}

std::wstring RecyclePlan::lookAtClock(ULONGLONG tick)
{
    const ULONGLONG now = clock_();
    const ULONGLONG due = timeAfter(seen_);
    std::wstring passed;
    if (now + LONGEST_REPEAT < seen_) {
        seen_ = now;
    } else if (due <= now) {
        passed = L"at " + formatTimeOfDay(static_cast<int>(due % UNITS_PER_DAY / UNITS_PER_MINUTE));
    }
    seen_ = std::max(seen_, now);
    const ULONGLONG untilNext = (timeAfter(seen_) - now + UNITS_PER_MS - 1) / UNITS_PER_MS;
    clockDue_ = tick + std::min(untilNext, CLOCK_LOOK_INTERVAL);
    return passed;
}

ULONGLONG RecyclePlan::timeAfter(ULONGLONG local) const
{
    const ULONGLONG midnight = local / UNITS_PER_DAY * UNITS_PER_DAY;
    for (ULONGLONG day = midnight;; day += UNITS_PER_DAY) {
        for (const int minutes : policy_.at) {
            const ULONGLONG time = day + static_cast<ULONGLONG>(minutes) * UNITS_PER_MINUTE;
            if (time > local) {
                return time;
            }
        }
    }
}
