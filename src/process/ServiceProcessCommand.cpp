#include "process/ServiceProcessCommand.h"

#include <vector>

#include "common/UniqueResource.h"
#include "logging/ErrorText.h"
#include "logging/Logger.h"
#include "process/EnvironmentBlock.h"
#include "process/ProcessCommand.h"
#include "process/ProcessInterruptCallProcessHandler.h"
#include "process/ProcessInterruptTerminateHandler.h"
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
    applyEnvironment(environment);
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
    command.whenStarted(onStarted_);
    command.startThrough(gate_);
    command.beatTo(heartbeat_);
    command.limitTo(&settings_->getResources());
    const int result = command.execute();
    exitCode_ = command.exitCode();
    stoppedByWatcher_ = command.stoppedByWatcher();
    start_ = command.start();
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

void ServiceProcessCommand::applyEnvironment(EnvironmentBlock& environment) const
{
    for (const EnvironmentVariable& variable : settings_->getEnvironment()) {
        const std::wstring value = environment.expand(variable.value);
        if (value.empty()) {
            environment.remove(variable.name);
            logger.debug(L"Removed environment variable %s for process", variable.name);
        } else {
            setVariable(environment, variable.name, value);
        }
    }
}
