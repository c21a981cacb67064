#pragma once

#include <windows.h>

#include <atomic>
#include <functional>

#include "common/Command.h"
#include "common/InterruptHolder.h"
#include "process/ProcessInterruptHandler.h"

#include "process/ProcessCommand.h"

class EnvironmentBlock;
class Heartbeat;
class PipeReaderCallback;
class ProgramHooks;
class RunWatcher;
class ServiceStatusUpdater;
class ServiceTaskSettings;
class StartGate;

// One run of the configured program as the service task settings describe
// it: an environment of the wrapper's own variables, the listed system
// variables, those of the environment file and the configured ones, shared
// with the stop command and the hooks; the hooks around the program; and the
// stop command or immediate termination as the way to stop it.
class ServiceProcessCommand : public Command, public InterruptHolder {
public:
    // `consoleEventReceived`, when given, says that the stop came as a console
    // event the program has had too.
    ServiceProcessCommand(InterruptHolder* parent, const ServiceTaskSettings* settings,
                          PipeReaderCallback* outputCallback,
                          const std::atomic<bool>* consoleEventReceived = nullptr)
        : InterruptHolder(parent), settings_(settings), outputCallback_(outputCallback),
          consoleEventReceived_(consoleEventReceived)
    {
    }

    // 0 when the program ran, or a stop came before it could; 1 when it could
    // not be started, also when its pre-start command failed. start() says which.
    int execute() override;
    ProgramStart start() const { return start_; }
    // True when the stop went wrong: the program or the stop command did not
    // end after it was killed, or the stop command was not run because its
    // files may be changed by others.
    bool stopFailed() const { return stopFailed_; }
    // Asked before the program and before the stop command start; the program
    // is created under its stop lock.
    void startThrough(StartGate* gate) { gate_ = gate; }
    // Told of the supervision's progress.
    void beatTo(Heartbeat* heartbeat) { heartbeat_ = heartbeat; }
    // The program's exit code once it has ended; that of its pre-start
    // command when that failed.
    DWORD exitCode() const { return exitCode_; }
    // The watcher's handles are waited for with the program's; it may stop the program.
    void watchWith(RunWatcher* watcher) { watcher_ = watcher; }
    // True when the watcher had the program stopped.
    bool stoppedByWatcher() const { return stoppedByWatcher_; }
    // The last step the stop took before the program ended; None when it ended by itself.
    StopStep stopStep() const { return stopStep_; }
    // Called with the program's process id once it runs.
    void whenStarted(std::function<void(DWORD processId)> callback) { onStarted_ = std::move(callback); }
    // The run counts as running once `updater` has reported the service
    // running; without one, once the program has started. Its standard error
    // is read apart when the updater has a stream for it.
    void readyThrough(ServiceStatusUpdater* updater) { updater_ = updater; }

private:
    void copySystemEnvironmentVariables(EnvironmentBlock& environment) const;
    // False when the environment file is refused.
    bool applyEnvironmentFile(EnvironmentBlock& environment) const;
    int runProgram(EnvironmentBlock& environment, ProgramHooks& hooks);
    // The configured variables in order, each expanded against what is set before it.
    void applyEnvironment(EnvironmentBlock& environment) const;

    const ServiceTaskSettings* settings_;
    PipeReaderCallback* outputCallback_;
    const std::atomic<bool>* consoleEventReceived_;
    RunWatcher* watcher_ = nullptr;
    ServiceStatusUpdater* updater_ = nullptr;
    StartGate* gate_ = nullptr;
    Heartbeat* heartbeat_ = nullptr;
    bool stoppedByWatcher_ = false;
    StopStep stopStep_ = StopStep::None;
    std::function<void(DWORD)> onStarted_;
    DWORD exitCode_ = 0;
    ProgramStart start_ = ProgramStart::Failed;
    bool programGivenUp_ = false;
    bool stopFailed_ = false;
};
