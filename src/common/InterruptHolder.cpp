#include "common/InterruptHolder.h"

#include <algorithm>

namespace {

// How often the flags are looked at when not every holder has an event.
const ULONGLONG FLAG_POLL_INTERVAL = 500;

}  // namespace

InterruptHolder::InterruptHolder(InterruptHolder* parent)
    : parent_(parent), event_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
}

bool InterruptHolder::isInterrupted() const
{
    for (const InterruptHolder* holder = this; holder != nullptr; holder = holder->parent_) {
        if (holder->interrupted_) {
            return true;
        }
    }
    return false;
}

void InterruptHolder::interrupt()
{
    for (InterruptHolder* holder = this; holder != nullptr; holder = holder->parent_) {
        holder->interrupted_ = true;
        if (holder->event_) {
            SetEvent(holder->event_.get());
        }
    }
}

bool InterruptHolder::interruptEvents(std::vector<HANDLE>& events) const
{
    bool complete = true;
    for (const InterruptHolder* holder = this; holder != nullptr; holder = holder->parent_) {
        if (holder->event_) {
            events.push_back(holder->event_.get());
        } else {
            complete = false;
        }
    }
    return complete;
}

bool InterruptHolder::waitForInterrupt(DWORD milliseconds) const
{
    std::vector<HANDLE> events;
    const bool complete = interruptEvents(events);
    const ULONGLONG end = GetTickCount64() + milliseconds;
    for (;;) {
        if (isInterrupted()) {
            return true;
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= end) {
            return false;
        }
        const DWORD slice = static_cast<DWORD>(complete ? end - now : std::min(end - now, FLAG_POLL_INTERVAL));
        if (events.empty() ||
            WaitForMultipleObjects(static_cast<DWORD>(events.size()), events.data(), FALSE, slice) == WAIT_FAILED) {
            Sleep(std::min<DWORD>(slice, FLAG_POLL_INTERVAL));
        }
    }
}
