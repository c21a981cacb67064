#pragma once

#include <atomic>

#include "process/StartGate.h"
#include "service/SettingsServiceTask.h"

class HealthMonitor;
class ProgramState;
class ServiceStatusUpdater;
class StartLimit;

// Runs the configured program for as long as the service runs; a program
// that ends, or cannot start, ends the service, unless the restart policy
// starts it again. So does a settings file, a program or a folder of theirs
// that ordinary users may change, unless the launch accepts that: they are
// looked at before the service runs, and again before every restart of the
// program and before the stop command runs. So does a program that is not
// ready within its time limit. A program that stops answering its health
// check is stopped, and restarted as the policy says. One due for a planned
// restart is stopped and started again, whatever the policy.
class ServiceExecuteProcessTask final : public SettingsServiceTask, public StartGate {
public:
    explicit ServiceExecuteProcessTask(ServiceLaunch launch) : SettingsServiceTask(std::move(launch)) {}
    ~ServiceExecuteProcessTask() override { stopAndWait(); }

    void runWithSettings(const ServiceTaskSettings& settings) override;

    bool filesTrusted() override;
    CriticalSection& stopLock() override { return *this; }

private:
    // Everything but keeping the program's state, which `state` does.
    void runUntilStopped(const ServiceTaskSettings& settings, ProgramState& state);
    // Runs the program, and again as often as the restart policy says, until
    // the service is to stop.
    void superviseRuns(const ServiceTaskSettings& settings, ProgramState& state, ServiceStatusUpdater* updater,
                       HealthMonitor* monitor, StartLimit* startLimit);
    // The recycled program must meet the readiness conditions again, within
    // the start limit's time from its start.
    static void startConditionsOver(ServiceStatusUpdater* updater, HealthMonitor* monitor, StartLimit* startLimit);

    const ServiceTaskSettings* settings_ = nullptr;
    // How often the files were looked at.
    std::atomic<int> filesChecked_{0};
};
