#include "common/InterruptHolder.h"

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
