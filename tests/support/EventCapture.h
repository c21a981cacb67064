#pragma once

#include <vector>

#include "logging/ServiceEvents.h"

// Keeps the service events reported while it lives.
class EventCapture : public ServiceEventSink {
public:
    std::vector<ServiceEvent> events;

    void onServiceEvent(const ServiceEvent& event) override { events.push_back(event); }
    std::vector<DWORD> ids() const
    {
        std::vector<DWORD> numbers;
        for (const ServiceEvent& event : events) {
            numbers.push_back(static_cast<DWORD>(event.id));
        }
        return numbers;
    }

private:
    ServiceEvents::Attachment attachment_{this};
};
