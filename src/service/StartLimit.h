#pragma once

#include <windows.h>

#include <atomic>

#include "common/UniqueResource.h"
#include "settings/Duration.h"

class HealthMonitor;
class ServiceStatusUpdater;
class ThreadedServiceTask;

// The time the program has, from its first start, to print the started
// marker and answer the readiness probes of `monitor` (null: none). When it
// runs out first, the error names what did not hold and the task is stopped as
// on a stop request; the service is then to stop as failed. The clock runs
// from construction; it stops when the object goes, never in the middle of
// its own callback, and starts again on start().
class StartLimit {
public:
    StartLimit(const Duration& timeout, const ServiceStatusUpdater* updater, const HealthMonitor* monitor,
               ThreadedServiceTask* task);
    StartLimit(const StartLimit&) = delete;
    StartLimit& operator=(const StartLimit&) = delete;

    // True once the time ran out before the marker came.
    bool exceeded() const { return exceeded_; }
    // The clock stops, and starts from the full time again: for a program
    // that was recycled, between its conditions starting over.
    void stop();
    void start();

private:
    static VOID CALLBACK onTimeout(PVOID parameter, BOOLEAN fired);
    void expire();

    Duration timeout_;
    const ServiceStatusUpdater* updater_;
    const HealthMonitor* monitor_;
    ThreadedServiceTask* task_;
    std::atomic<bool> exceeded_{false};
    // Last, so that it goes first: its callback uses the members above.
    UniqueTimerQueueTimer timer_;
};
