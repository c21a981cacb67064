#include "process/ServiceProcessCommand.h"

#include <vector>

#include "common/UniqueResource.h"
#include "logging/ErrorText.h"
#include "logging/Logger.h"
#include "process/EnvironmentBlock.h"
#include "process/ProcessCommand.h"
#include "process/ProcessInterruptCallProcessHandler.h"
#include "process/ProcessInterruptTerminateHandler.h"
#include "process/ProgramHooks.h"
#include "process/ServiceStatusUpdater.h"
#include "settings/EnvironmentFile.h"
#include "settings/SettingsInterfaces.h"

namespace {

const Logger logger(L"ServiceProcessCommand");
const wchar_t* ENVIRONMENT_KEY = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
const DWORD VALUE_BUFFER_SIZE = 131072;

// A string value as the registry holds it; REG_EXPAND_SZ stays unexpanded.
bool readStringValue(HKEY key, const std::wstring& name, std::wstring& text)
{
    std::vector<BYTE> buffer(VALUE_BUFFER_SIZE, 0);
    DWORD type = 0;
    DWORD size = VALUE_BUFFER_SIZE - 2;
    const LONG status = RegQueryValueExW(key, name.c_str(), nullptr, &type, buffer.data(), &size);
    if (status != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(status));
        return false;
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        SetLastError(ERROR_INVALID_DATATYPE);
        return false;
    }
    const auto* characters = reinterpret_cast<const wchar_t*>(buffer.data());
    if (size == 0) {
        text.clear();
        return true;
    }
    if (size % 2 != 0 || characters[size / 2 - 1] != L'\0') {
        SetLastError(ERROR_INVALID_DATA);
        return false;
    }
    text.assign(characters, size / 2 - 1);
    return true;
}

void setVariable(EnvironmentBlock& environment, const std::wstring& name, const std::wstring& value)
{
    if (environment.set(name, value)) {
        logger.debug(L"Set environment variable %s=%s for process", name, value);
    } else {
        logger.debug(L"Failed to set environment variable %s=%s for process. %s", name, value, lastErrorText());
    }
}

}  // namespace

int ServiceProcessCommand::execute()
{
    logger.debug(L"starting process");
    EnvironmentBlock environment = EnvironmentBlock::ofThisProcess();
    copySystemEnvironmentVariables(environment);
    if (!applyEnvironmentFile(environment)) {
        return 1;
    }
    applyEnvironment(environment);
    ProgramHooks hooks(this, settings_, &environment);
    hooks.startThrough(gate_);
    hooks.beatTo(heartbeat_);
    const HookOutcome preStart = hooks.runPreStart();
    switch (preStart.result) {
    case HookResult::Succeeded: break;
    case HookResult::StopRequested: start_ = ProgramStart::StopRequested; return 0;
    case HookResult::FilesRefused: start_ = ProgramStart::FilesRefused; return 1;
    case HookResult::Failed:
        start_ = ProgramStart::PreStartFailed;
        exitCode_ = preStart.exitCode;
        return 1;
    }
    const int result = runProgram(environment, hooks);
    // After the stop command has ended too; a program that would not end has not ended.
    if (start_ == ProgramStart::Started && !programGivenUp_) {
        hooks.runPostStop(exitCode_);
    }
    return result;
}

int ServiceProcessCommand::runProgram(EnvironmentBlock& environment, ProgramHooks& hooks)
{
    const long stopTimeout = settings_->getStopTimeout();
    logger.debug(L"stop wait timeout: %ld", stopTimeout);

    ProcessInterruptTerminateHandler terminateHandler;
    ProcessInterruptCallProcessHandler callProcessHandler(settings_, &environment, consoleEventReceived_, gate_);
    ProcessInterruptHandler* handler = &terminateHandler;
    const bool consoleEvent = settings_->getConsoleEvent() != ConsoleEvent::None;
    if (settings_->getStopCommand() != nullptr) {
        logger.debug(L"Will call stop command. Termination wait timeout is %ld milliseconds.", stopTimeout);
        handler = &callProcessHandler;
    } else if (consoleEvent) {
        logger.debug(L"Will send a console event. Termination wait timeout is %ld milliseconds.", stopTimeout);
        handler = &callProcessHandler;
    } else {
        logger.debug(L"Process will be terminated on service exit");
    }
    ProcessCommand command(this, settings_, &environment, settings_->getOutputEncoding(), handler, outputCallback_,
                           consoleEvent);
    command.watchWith(watcher_);
    command.whenStarted([this, &hooks](DWORD processId) {
        if (onStarted_) {
            onStarted_(processId);
        }
        if (updater_ == nullptr) {
            hooks.startPostStart(processId);
        } else {
            updater_->whenRunning([&hooks, processId] { hooks.startPostStart(processId); });
        }
    });
    if (updater_ != nullptr) {
        command.errorsTo(updater_->errorStream());
    }
    command.startThrough(gate_);
    command.beatTo(heartbeat_);
    command.limitTo(&settings_->getResources());
    const int result = command.execute();
    if (updater_ != nullptr) {
        updater_->whenRunning(nullptr);
    }
    exitCode_ = command.exitCode();
    stoppedByWatcher_ = command.stoppedByWatcher();
    start_ = command.start();
    programGivenUp_ = command.givenUp();
    stopFailed_ = command.givenUp() || callProcessHandler.stopFailed();
    stopStep_ = handler->lastStep();
    return result;
}

void ServiceProcessCommand::copySystemEnvironmentVariables(EnvironmentBlock& environment) const
{
    const std::vector<std::wstring>& names = settings_->getEnvironmentVariables();
    if (names.empty()) {
        return;
    }
    logger.debug(L"Start reading environment");
    UniqueRegistryKey key;
    const LONG status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, ENVIRONMENT_KEY, 0, KEY_READ, key.put());
    if (status != ERROR_SUCCESS) {
        logger.warn(L"Failed to open environment variables section in registry. %s",
                    errorText(static_cast<DWORD>(status)));
        return;
    }
    for (const std::wstring& name : names) {
        std::wstring text;
        if (!readStringValue(key.get(), name, text)) {
            logger.debug(L"Failed to find %s system environment variable. %s", name, lastErrorText());
            continue;
        }
        setVariable(environment, name, text);
    }
}

bool ServiceProcessCommand::applyEnvironmentFile(EnvironmentBlock& environment) const
{
    const std::wstring* file = settings_->getEnvironmentFile();
    if (file == nullptr) {
        return true;
    }
    std::vector<EnvironmentVariable> variables;
    if (!loadEnvironmentFile(*file, variables)) {
        return false;
    }
    // Names only: the values are often secrets.
    for (const EnvironmentVariable& variable : variables) {
        if (variable.value.empty()) {
            environment.remove(variable.name);
            logger.debug(L"Removed environment variable %s for process (from %s)", variable.name, *file);
        } else if (environment.set(variable.name, variable.value)) {
            logger.debug(L"Set environment variable %s for process from %s", variable.name, *file);
        }
    }
    return true;
}

void ServiceProcessCommand::applyEnvironment(EnvironmentBlock& environment) const
{
    for (const EnvironmentVariable& variable : settings_->getEnvironment()) {
        const std::wstring value = environment.expand(variable.value);
        if (value.empty()) {
            environment.remove(variable.name);
            logger.debug(L"Removed environment variable %s for process", variable.name);
        } else if (environment.set(variable.name, value)) {
            // As written: expanded, it may hold a value of the environment file.
            logger.debug(L"Set environment variable %s=%s for process", variable.name, variable.value);
        }
    }
}
