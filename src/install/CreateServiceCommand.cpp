#include "install/CreateServiceCommand.h"

#include "common/UniqueResource.h"
#include "eventlog/EventSourceCommands.h"
#include "install/ServiceAccountKind.h"
#include "install/ServiceDependencies.h"
#include "install/ShutdownTime.h"
#include "logging/ErrorText.h"
#include "logging/Logger.h"
#include "settings/Duration.h"
#include "settings/SettingsInterfaces.h"

namespace {

const Logger logger(L"CreateServiceCommand");

}  // namespace

FailureMessage createServiceFailure(const std::wstring& text, DWORD code)
{
    switch (code) {
    case ERROR_ACCESS_DENIED: return {LEVEL_WARN, format(L"%s Access denied", text)};
    case ERROR_INVALID_PARAMETER: return {LEVEL_WARN, format(L"%s A parameter that was specified is invalid", text)};
    case ERROR_INVALID_NAME: return {LEVEL_WARN, format(L"%s The specified service name is invalid", text)};
    case ERROR_INVALID_SERVICE_ACCOUNT: return {LEVEL_WARN, format(L"%s Specified account does not exist", text)};
    case ERROR_CIRCULAR_DEPENDENCY:
        return {LEVEL_WARN, format(L"%s A circular service dependency was specified", text)};
    case ERROR_SERVICE_MARKED_FOR_DELETE:
        return {LEVEL_WARN, format(L"%s The service already exists and marked for deletion", text)};
    case ERROR_SERVICE_EXISTS: return {LEVEL_WARN, format(L"%s The service already exists", text)};
    case ERROR_DUPLICATE_SERVICE_NAME: return {LEVEL_WARN, format(L"%s Service display name is already used", text)};
    default: return {LEVEL_ERROR, format(L"%s %s", text, errorText(code))};
    }
}

CreateServiceCommand::CreateServiceCommand(const CreateServiceSettings& settings,
                                           ChangeServiceConfig2Call changeConfig2)
    : ServiceControlManagerCommand(MANAGER_RIGHTS_CREATE_SERVICE, settings),
      createSettings_(settings),
      changeConfig2_(changeConfig2)
{
}

int CreateServiceCommand::executeWithManager(SC_HANDLE manager)
{
    const std::wstring name = createSettings_.getServiceName();
    logger.debug(L"Creating and registering service: name=%s...", name);
    const std::wstring account = registeredAccountName(createSettings_);
    const std::optional<std::wstring> password = registeredPassword(createSettings_);
    const std::wstring displayName = createSettings_.getServiceDisplayName();
    const std::wstring commandLine = createSettings_.getServiceCommandLine();
    // No account and no password make the service run as LocalSystem.
    const wchar_t* accountOrSystem = nullptr;
    const wchar_t* passwordOrSystem = nullptr;
    if (!createSettings_.isRunAsSystem()) {
        logger.info(L"Installing service for user: %s", account);
        accountOrSystem = account.c_str();
        passwordOrSystem = password ? password->c_str() : nullptr;
    }
    const DWORD startType = createSettings_.isAutostart() ? SERVICE_AUTO_START : SERVICE_DEMAND_START;
    const std::wstring dependencies = dependencyList(createSettings_.getDependencies());
    // Without dependencies no list is passed, so none is stored.
    const wchar_t* dependenciesOrNone = createSettings_.getDependencies().empty() ? nullptr : dependencies.c_str();
    const UniqueServiceHandle service(CreateServiceW(manager, name.c_str(), displayName.c_str(), SERVICE_ALL_ACCESS,
                                                     SERVICE_WIN32_OWN_PROCESS, startType, SERVICE_ERROR_NORMAL,
                                                     commandLine.c_str(), nullptr, nullptr, dependenciesOrNone,
                                                     accountOrSystem, passwordOrSystem));
    if (!service) {
        const DWORD code = GetLastError();
        const FailureMessage failure = createServiceFailure(format(L"Failed to create service %s.", name), code);
        logger.log(failure.level, failure.text);
        return 1;
    }
    logger.info(L"Service '%s' was created", name);
    writeDescription(service.get(), name);
    if (createSettings_.isDelayedAutostart()) {
        delayAutomaticStart(service.get(), name);
    }
    setShutdownTime(service.get(), name);
    applyRecoveryActionsToErrorStops(service.get(), name);
    AddEventSourceCommand(name).execute();
    return 0;
}

// Best effort: the service works without a description.
void CreateServiceCommand::writeDescription(SC_HANDLE service, const std::wstring& name) const
{
    std::wstring description = createSettings_.getServiceDescription();
    SERVICE_DESCRIPTIONW text = {&description[0]};
    if (!changeConfig2_(service, SERVICE_CONFIG_DESCRIPTION, &text)) {
        logger.warn(L"Failed to set the description of service '%s': %s", name, lastErrorText());
        return;
    }
    logger.debug(L"Service description is updated");
}

// Best effort, as the description: the service still starts automatically.
void CreateServiceCommand::delayAutomaticStart(SC_HANDLE service, const std::wstring& name) const
{
    SERVICE_DELAYED_AUTO_START_INFO delayed = {};
    delayed.fDelayedAutostart = TRUE;
    if (!changeConfig2_(service, SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &delayed)) {
        logger.warn(L"Service '%s' will start with the other automatic services, not after them: %s", name,
                    lastErrorText());
        return;
    }
    logger.info(L"Service '%s' will start shortly after the other automatic services", name);
}

void CreateServiceCommand::setShutdownTime(SC_HANDLE service, const std::wstring& name) const
{
    SERVICE_PRESHUTDOWN_INFO info = {};
    info.dwPreshutdownTimeout = preshutdownTimeout(createSettings_.getStopTimeout());
    const std::wstring time = formatDuration(std::chrono::milliseconds(info.dwPreshutdownTimeout));
    if (!changeConfig2_(service, SERVICE_CONFIG_PRESHUTDOWN_INFO, &info)) {
        logger.warn(L"Service '%s' has only the default 10 s to stop at shutdown, not %s: %s", name, time,
                    lastErrorText());
        return;
    }
    logger.debug(L"Service '%s' has %s to stop at shutdown", name, time);
}

// Windows applies the actions of the Recovery tab to crashes only, unless
// told that a stop with an exit code other than 0 is a failure too.
void CreateServiceCommand::applyRecoveryActionsToErrorStops(SC_HANDLE service, const std::wstring& name) const
{
    SERVICE_FAILURE_ACTIONS_FLAG flag = {};
    flag.fFailureActionsOnNonCrashFailures = TRUE;
    if (!changeConfig2_(service, SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &flag)) {
        logger.warn(L"Recovery actions of service '%s' will apply only when it crashes, not when it stops with an "
                    L"error: %s",
                    name, lastErrorText());
        return;
    }
    logger.debug(L"Recovery actions of service '%s' apply when it stops with an error", name);
}
