#include "process/ProgramHooks.h"

#include <chrono>
#include <string>

#include "logging/ErrorText.h"
#include "logging/Logger.h"
#include "logging/ThreadFailure.h"
#include "process/EnvironmentBlock.h"
#include "process/LogPipeReader.h"
#include "process/ProcessCommand.h"
#include "process/ProcessInterruptTerminateHandler.h"
#include "process/RunWatcher.h"
#include "settings/HooksElement.h"

namespace {

const Logger logger(L"ProgramHooks");

// Stops the command once its time is up: a waitable timer beside the
// command's end in the wait of the thread that supervises it.
class HookTimeout : public RunWatcher {
public:
    explicit HookTimeout(std::chrono::milliseconds length)
        : length_(length), timer_(CreateWaitableTimerW(nullptr, TRUE, nullptr))
    {
        if (!timer_) {
            logger.warn(L"Failed to create the timer of the command's timeout; it may run as long as it takes. %s",
                        lastErrorText());
        }
    }
    bool expired() const { return expired_; }

    void onRunStarted(const ChildProcess&) override
    {
        // Negative: a time relative to now, in 100 ns.
        LARGE_INTEGER due;
        due.QuadPart = -static_cast<LONGLONG>(length_.count()) * 10000;
        if (timer_ && !SetWaitableTimer(timer_.get(), &due, 0, nullptr, nullptr, FALSE)) {
            logger.warn(L"Failed to set the timer of the command's timeout. %s", lastErrorText());
        }
    }
    void addHandles(std::vector<HANDLE>& handles) override
    {
        if (timer_) {
            handles.push_back(timer_.get());
        }
    }
    bool onSignalled(HANDLE) override
    {
        expired_ = true;
        return true;
    }
    void onRunEnded() override
    {
        if (timer_) {
            CancelWaitableTimer(timer_.get());
        }
    }

private:
    std::chrono::milliseconds length_;
    UniqueHandle timer_;
    bool expired_ = false;
};

// "Pre-start command process", as the log names a process that is killed.
std::wstring processName(Hook hook)
{
    std::wstring name = hookName(hook);
    name[0] = L'P';
    return name + L" command process";
}

}  // namespace

HookOutcome ProgramHooks::runPreStart()
{
    if (settings_->getHook(Hook::PreStart) == nullptr) {
        return {HookResult::Succeeded, 0};
    }
    return run(Hook::PreStart, run_, *environment_);
}

void ProgramHooks::startPostStart(DWORD processId)
{
    if (settings_->getHook(Hook::PostStart) == nullptr || postStartThread_) {
        return;
    }
    programId_ = processId;
    postStartThread_.reset(CreateThread(nullptr, 0, postStartMain, this, 0, nullptr));
    if (!postStartThread_) {
        logger.warn(L"Failed to create the thread of the post-start command; it does not run. %s", lastErrorText());
    }
}

void ProgramHooks::runPostStop(DWORD exitCode)
{
    waitForPostStart();
    if (settings_->getHook(Hook::PostStop) == nullptr) {
        return;
    }
    EnvironmentBlock environment = *environment_;
    environment.set(L"HOSTWELL_EXIT_CODE", std::to_wstring(exitCode));
    // Not the run's: a stop request waits for it.
    run(Hook::PostStop, nullptr, environment);
}

DWORD WINAPI ProgramHooks::postStartMain(LPVOID parameter)
{
    auto* hooks = static_cast<ProgramHooks*>(parameter);
    const bool ran = fenced(L"Post-start command", [hooks] {
        EnvironmentBlock environment = *hooks->environment_;
        environment.set(L"HOSTWELL_PROGRAM_PID", std::to_wstring(hooks->programId_));
        hooks->run(Hook::PostStart, hooks->run_, environment);
    });
    return ran ? 0 : 1;
}

HookOutcome ProgramHooks::run(Hook hook, InterruptHolder* parent, const EnvironmentBlock& environment)
{
    const HookSettings* settings = settings_->getHook(hook);
    const wchar_t* name = hookName(hook);
    // Only a failed pre-start keeps the program from running.
    const int failureLevel = hook == Hook::PreStart ? LEVEL_ERROR : LEVEL_WARN;
    LogPipeReader output(name);
    ProcessInterruptTerminateHandler killer(processName(hook));
    HookTimeout timeout(settings->getTimeout().length);
    ProcessCommand command(parent, settings, &environment, settings_->getOutputEncoding(), &killer, &output);
    command.startThrough(gate_);
    command.beatTo(heartbeat_);
    command.watchWith(&timeout);
    logger.info(L"Running the %s command: %s", name, composeCommandLine(settings->getProgram(), settings->getArguments()));
    const int result = command.execute();
    switch (command.start()) {
    case ProgramStart::StopRequested: return {HookResult::StopRequested, 0};
    case ProgramStart::FilesRefused:
        logger.error(L"Failed to run the %s command: its files may be changed by ordinary users", name);
        return {HookResult::FilesRefused, 1};
    default: break;
    }
    if (result != 0) {
        logger.log(failureLevel, format(L"Failed to start the %s command %s", name, settings->getProgram()));
        return {HookResult::Failed, 1};
    }
    if (command.givenUp()) {
        return {HookResult::Failed, ProcessInterruptTerminateHandler::TERMINATED_EXIT_CODE};
    }
    if (timeout.expired()) {
        logger.log(failureLevel, format(L"The %s command %s did not end within %s; it was terminated with every "
                                        L"process it started",
                                        name, settings->getProgram(), settings->getTimeout().text));
        return {HookResult::Failed, command.exitCode() != 0 ? command.exitCode() : ERROR_TIMEOUT};
    }
    if (parent != nullptr && parent->isInterrupted()) {
        logger.info(L"The %s command %s was ended by the stop request", name, settings->getProgram());
        return {HookResult::StopRequested, command.exitCode()};
    }
    const DWORD exitCode = command.exitCode();
    logger.log(exitCode == 0 ? LEVEL_INFO : failureLevel,
               format(L"The %s command %s ended with exit code %lu", name, settings->getProgram(),
                      static_cast<unsigned long>(exitCode)));
    return {exitCode == 0 ? HookResult::Succeeded : HookResult::Failed, exitCode};
}

void ProgramHooks::waitForPostStart()
{
    if (postStartThread_) {
        WaitForSingleObject(postStartThread_.get(), INFINITE);
        postStartThread_.reset();
    }
}
