#pragma once

#include <windows.h>

#include <string>

#include "common/WholeFileWriter.h"
#include "logging/CriticalSection.h"
#include "logging/ServiceEvents.h"
#include "service/ProgramSnapshot.h"

// What the running service's program is doing, kept in files that are
// rewritten whenever it changes, never on a timer: the state file beside the
// service log, which status reads (also once the service has stopped), and
// the metrics file for Prometheus. Each is written whole. Any thread may tell
// it a change; records lost from the logs it hears as events.
class ProgramState : public ServiceEventSink {
public:
    // "<log file>.state.json"; empty without a log file.
    static std::wstring fileBeside(const std::wstring& logFile);

    // Keeps no state file when `stateFile` is empty, no metrics file when
    // `metricsFile` is; `service` is the metrics' service label.
    explicit ProgramState(std::wstring stateFile, std::wstring metricsFile = std::wstring(),
                          std::wstring service = std::wstring());
    ProgramState(const ProgramState&) = delete;
    ProgramState& operator=(const ProgramState&) = delete;

    void started(DWORD processId);
    void ended(DWORD exitCode);
    // `restarts` counts the restarts of the current series.
    void restarting(unsigned restarts);
    // What the health check says: healthy, failing or unhealthy; saved when it changes.
    void healthChanged(const std::wstring& health);
    // Whether the service counts as running.
    void readyChanged(bool ready);
    // The service no longer runs the program and no longer counts as running.
    void serviceEnded();
    // Counts lost log records and recycles.
    void onServiceEvent(const ServiceEvent& event) override;

    ProgramSnapshot snapshot() const;
    std::wstring json() const { return snapshot().json(); }

private:
    // Applies a change under the lock and writes the files when it changed
    // something. Nothing is logged under the lock: the logging lock is taken
    // before it on the way of an event.
    template <typename Change>
    void change(Change apply);
    void save();

    mutable CriticalSection lock_;
    ProgramSnapshot values_;
    bool ready_ = false;
    std::wstring service_;
    WholeFileWriter stateFile_;
    WholeFileWriter metricsFile_;
    // The errors of the last writes, reported once per episode after the lock is left.
    DWORD stateError_ = ERROR_SUCCESS;
    DWORD metricsError_ = ERROR_SUCCESS;
    // Last, so that it goes first: events use the members above.
    ServiceEvents::Attachment attachment_{this};
};
