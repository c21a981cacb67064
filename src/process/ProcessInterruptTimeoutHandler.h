#pragma once

#include "process/ProcessInterruptHandler.h"
#include "process/ProcessInterruptTerminateHandler.h"

class ServiceTaskSettings;

// Asks the child to stop gently (the configured console event first, then
// whatever the derived class does) and gives it the stop timeout to end; when
// it has not, falls back to terminating it.
class ProcessInterruptTimeoutHandler : public ProcessInterruptHandler {
public:
    explicit ProcessInterruptTimeoutHandler(const ServiceTaskSettings* settings) : settings_(settings) {}

    void handle(const ChildProcess& child) override;

protected:
    // Starts the gentle stop; false when there is none under way.
    virtual bool beginStop(const ChildProcess& child) = 0;
    virtual void onTimeout(const ChildProcess& child);

    const ServiceTaskSettings* settings_;
    ProcessInterruptTerminateHandler fallback_;

private:
    // False when no event is configured or it could not be sent.
    bool sendStopEvent(const ChildProcess& child);

    bool gaveUp_ = false;
    bool begun_ = false;
    unsigned long long startTick_ = 0;
};
