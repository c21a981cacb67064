#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "common/Command.h"
#include "common/InterruptHolder.h"
#include "settings/OutputEncoding.h"

class ChildProcess;
class Heartbeat;
class OutputReader;
class RunWatcher;
class EnvironmentBlock;
class ExecutionSettings;
class PipeReaderCallback;
class ProcessInterruptHandler;
class StartGate;
struct ProgramResources;

// How the start of a child came out.
enum class ProgramStart {
    Failed,
    Started,
    // A stop was requested before the child was created: it never ran.
    StopRequested,
    // A file or folder that decides what runs may be changed by others.
    FilesRefused,
    // The command that must succeed before it did not: it never ran.
    PreStartFailed,
};

// Starts one child under the wrapper's own account with the given
// environment, feeds its output lines, read in the given encoding, to the
// callback and supervises it until it ends; while interrupted, the interrupt
// handler decides how it is stopped.
class ProcessCommand : public Command, public InterruptHolder {
public:
    // A child that is to receive console control events gets a console of
    // its own, or shares the wrapper's when it has one.
    ProcessCommand(InterruptHolder* parent, const ExecutionSettings* settings, const EnvironmentBlock* environment,
                   OutputEncoding outputEncoding, ProcessInterruptHandler* interruptHandler,
                   PipeReaderCallback* outputCallback, bool receivesConsoleEvents = false)
        : InterruptHolder(parent), settings_(settings), environment_(environment), outputEncoding_(outputEncoding),
          interruptHandler_(interruptHandler), outputCallback_(outputCallback),
          receivesConsoleEvents_(receivesConsoleEvents)
    {
    }

    // 0 once the child was started and has ended, or when a stop request came
    // before it could start; 1 when it could not start. start() says which.
    int execute() override;
    ProgramStart start() const { return start_; }
    // True when the child did not end after it was killed and was given up.
    bool givenUp() const { return givenUp_; }
    // Asked before the child is created, which happens under its stop lock.
    void startThrough(StartGate* gate) { gate_ = gate; }
    // Told of the supervision's progress.
    void beatTo(Heartbeat* heartbeat) { heartbeat_ = heartbeat; }
    // The child's exit code, 0 until it has ended.
    DWORD exitCode() const { return exitCode_; }
    // The watcher's handles are waited for with the child's; it may stop the child.
    void watchWith(RunWatcher* watcher) { watcher_ = watcher; }
    // True when the watcher had the child stopped.
    bool stoppedByWatcher() const { return stoppedByWatcher_; }
    // Called with the child's process id once it runs.
    void whenStarted(std::function<void(DWORD processId)> callback) { onStarted_ = std::move(callback); }
    // The child's priority, processors and job limits; null: none.
    void limitTo(const ProgramResources* resources) { resources_ = resources; }
    // The child's standard error goes into a pipe of its own, read into
    // `callback`; without one it shares standard output's.
    void errorsTo(PipeReaderCallback* callback) { errorCallback_ = callback; }

private:
    int runWithToken(HANDLE token);
    DWORD creationFlags() const;
    // Waits on this thread for everything the run needs: the child's end, its
    // output, the stop request and the steps of the stop.
    void supervise(const ChildProcess& child, const std::vector<OutputReader*>& readers);
    void reportEnd(const ChildProcess& child);

    const ExecutionSettings* settings_;
    const EnvironmentBlock* environment_;
    OutputEncoding outputEncoding_;
    ProcessInterruptHandler* interruptHandler_;
    PipeReaderCallback* outputCallback_;
    PipeReaderCallback* errorCallback_ = nullptr;
    bool receivesConsoleEvents_;
    RunWatcher* watcher_ = nullptr;
    StartGate* gate_ = nullptr;
    Heartbeat* heartbeat_ = nullptr;
    const ProgramResources* resources_ = nullptr;
    bool stoppedByWatcher_ = false;
    std::function<void(DWORD)> onStarted_;
    DWORD exitCode_ = 0;
    ProgramStart start_ = ProgramStart::Failed;
    bool givenUp_ = false;
};

// The command line that starts the program: "\"program\" arguments".
std::wstring composeCommandLine(const std::wstring& program, const std::wstring& arguments);
