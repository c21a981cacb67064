#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/UniqueResource.h"
#include "logging/CriticalSection.h"
#include "process/RunWatcher.h"
#include "service/LivenessCheck.h"
#include "service/Probe.h"
#include "service/RecyclePlan.h"

class ProgramState;
class ServiceStatusUpdater;
class ServiceTaskSettings;

// Probes the program from the thread that supervises its runs: until the
// service runs, the readiness probes every 500 ms, each a condition of the
// updater once it held; then the health check every interval, whose verdict
// stops the program. The recycle plan's looks stop it too, for a planned
// restart. One waitable timer says when the next probe or look is due, or
// when the probes under way are out of time. Nothing runs between them.
class HealthMonitor : public RunWatcher {
public:
    HealthMonitor(const ServiceTaskSettings& settings, ServiceStatusUpdater* updater);
    HealthMonitor(const HealthMonitor&) = delete;
    HealthMonitor& operator=(const HealthMonitor&) = delete;

    // False when a probe or the timer could not be made (logged).
    bool isValid() const;
    void onRunStarted(const ChildProcess& child) override;
    void addHandles(std::vector<HANDLE>& handles) override;
    bool onSignalled(HANDLE handle) override;
    void onRunEnded() override;
    // The health check's verdicts go to `state` too.
    void reportTo(ProgramState* state) { state_ = state; }
    // The readiness probes that have not held, with their last errors:
    // "tcp 127.0.0.1:8080: connection refused (10061)"; any thread may ask.
    std::vector<std::wstring> unready() const;
    // Why the program of the last run was stopped for a planned restart;
    // empty when it was not.
    const std::wstring& recycleReason() const { return recycleReason_; }
    // The readiness probes start over, for a program that was recycled.
    void restartReadiness();

private:
    struct Watched {
        Watched(const ProbeTarget& probed, std::unique_ptr<Probe> made) : target(probed), probe(std::move(made)) {}
        ProbeTarget target;
        std::unique_ptr<Probe> probe;
        bool running = false;
        // Readiness only, under errorsLock_: held once, and the last error before.
        bool held = false;
        std::wstring lastError;
    };

    bool ready() const;
    bool probing() const;
    bool onTimer(ULONGLONG now);
    // True when the plan says the program is to be recycled now.
    bool recycleIfDue(ULONGLONG tick);
    // Each returns true when the program is to be stopped.
    bool begin(Watched& watched);
    bool conclude(Watched& watched, bool held, const std::wstring& error);
    void abandon(Watched& watched);
    // The time of the next probe, or none when nothing is left to probe.
    void scheduleNext(ULONGLONG now);
    void schedule(ULONGLONG tick);
    // Sets the timer for the next probe or look, or cancels it when there is none.
    void arm();

    ServiceStatusUpdater* updater_;
    ProgramState* state_ = nullptr;
    std::vector<Watched> readiness_;
    std::optional<Watched> health_;
    std::optional<HealthCheck> healthCheck_;
    std::optional<LivenessCheck> verdict_;
    std::optional<RecyclePlan> recycle_;
    const ChildProcess* child_ = nullptr;
    std::wstring recycleReason_;
    UniqueHandle timer_;
    // The tick at which the timer is set to fire, and the probes' part of it; 0: none.
    ULONGLONG due_ = 0;
    ULONGLONG probesDue_ = 0;
    // 0 until the first health probe of the run has its time.
    ULONGLONG nextHealthProbe_ = 0;
    mutable CriticalSection errorsLock_;
};
