#include "process/ProcessInterruptCallProcessHandler.h"

#include "logging/Logger.h"
#include "logging/ThreadFailure.h"
#include "process/LogPipeReader.h"
#include "process/ProcessCommand.h"
#include "process/StartGate.h"
#include "settings/SettingsInterfaces.h"

namespace {
const Logger logger(L"ProcessInterruptCallProcessHandler");
}

ProcessInterruptCallProcessHandler::~ProcessInterruptCallProcessHandler()
{
    stopHolder_.interrupt();
    waitForStopCommand();
}

bool ProcessInterruptCallProcessHandler::beginStop(const ChildProcess&)
{
    if (settings_->getStopCommand() == nullptr) {
        return false;
    }
    if (gate_ != nullptr && !gate_->filesTrusted()) {
        logger.error(L"Failed to run the stop command: its files may be changed by ordinary users");
        refused_ = true;
        return false;
    }
    thread_.reset(CreateThread(nullptr, 0, threadMain, this, 0, &threadId_));
    if (!thread_) {
        logger.error(L"Failed to create thread to execute service stop task");
        threadId_ = 0;
        return false;
    }
    logger.debug(L"Started stop service task thread");
    if (!started_) {
        return true;
    }
    // Either the stop command's process starts or its thread ends without it;
    // both follow at once from CreateProcess.
    const HANDLE outcomes[] = {started_.get(), thread_.get()};
    if (WaitForMultipleObjects(2, outcomes, FALSE, INFINITE) == WAIT_OBJECT_0) {
        return true;
    }
    logger.error(L"Failed to start the stop command %s", settings_->getStopCommand()->getProgram());
    return false;
}

DWORD ProcessInterruptCallProcessHandler::onTimeout(const ChildProcess& child)
{
    stopHolder_.interrupt();
    waitForStopCommand();
    return fallback_.handle(child);
}

DWORD WINAPI ProcessInterruptCallProcessHandler::threadMain(LPVOID parameter)
{
    const bool ran =
        fenced(L"Stop command", [parameter] { static_cast<ProcessInterruptCallProcessHandler*>(parameter)->runStopCommand(); });
    return ran ? 0 : 1;
}

void ProcessInterruptCallProcessHandler::runStopCommand()
{
    const ExecutionSettings* stopCommand = settings_->getStopCommand();
    if (stopCommand == nullptr) {
        return;
    }
    logger.debug(L"Executing stop command...");
    LogPipeReader output(L"stop_console");
    ProcessCommand command(&stopHolder_, stopCommand, environment_, settings_->getOutputEncoding(), &stopCommandKiller_,
                           &output);
    command.whenStarted([this](DWORD) { SetEvent(started_.get()); });
    command.execute();
    stopCommandGivenUp_ = command.givenUp();
}

void ProcessInterruptCallProcessHandler::waitForStopCommand()
{
    if (!thread_) {
        return;
    }
    if (WaitForSingleObject(thread_.get(), 500) == WAIT_TIMEOUT) {
        logger.warn(L"Failed to wait for stop service thread to exit");
    }
    WaitForSingleObject(thread_.get(), INFINITE);
    thread_.reset();
}
