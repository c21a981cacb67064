#pragma once

#include <windows.h>

#include "common/InterruptHolder.h"
#include "common/UniqueResource.h"
#include "settings/SettingsInterfaces.h"

class EnvironmentBlock;
class Heartbeat;
class StartGate;

// How a hook came out.
enum class HookResult { Succeeded, Failed, StopRequested, FilesRefused };

struct HookOutcome {
    HookResult result;
    // The command's exit code; 1 for one that could not be started.
    DWORD exitCode;
};

// Runs the commands the settings give around one run of the program, each as
// the stop command runs: under the wrapper's account with the program's
// environment, its output into the output log or the log, its exit code
// logged. One that has not ended within its timeout is terminated with every
// process it started, and has failed. A stop request ends pre-start and
// post-start at once; post-stop is part of the stop and runs to its end.
class ProgramHooks {
public:
    // `run` is interrupted by a stop request.
    ProgramHooks(InterruptHolder* run, const ServiceTaskSettings* settings, const EnvironmentBlock* environment)
        : run_(run), settings_(settings), environment_(environment)
    {
    }
    // Waits for a post-start command that still runs.
    ~ProgramHooks() { waitForPostStart(); }
    ProgramHooks(const ProgramHooks&) = delete;
    ProgramHooks& operator=(const ProgramHooks&) = delete;

    // Asked before each command starts, as before the program.
    void startThrough(StartGate* gate) { gate_ = gate; }
    // Told of the supervision's progress.
    void beatTo(Heartbeat* heartbeat) { heartbeat_ = heartbeat; }

    // Runs pre-start, if there is one; the program may start when it succeeded.
    HookOutcome runPreStart();
    // Starts post-start, if there is one, on a thread of its own with
    // HOSTWELL_PROGRAM_PID set; returns at once.
    void startPostStart(DWORD processId);
    // After the program's end: waits for post-start, then runs post-stop, if
    // there is one, with HOSTWELL_EXIT_CODE set.
    void runPostStop(DWORD exitCode);

private:
    static DWORD WINAPI postStartMain(LPVOID parameter);
    HookOutcome run(Hook hook, InterruptHolder* parent, const EnvironmentBlock& environment);
    void waitForPostStart();

    InterruptHolder* run_;
    const ServiceTaskSettings* settings_;
    const EnvironmentBlock* environment_;
    StartGate* gate_ = nullptr;
    Heartbeat* heartbeat_ = nullptr;
    DWORD programId_ = 0;
    UniqueHandle postStartThread_;
};
