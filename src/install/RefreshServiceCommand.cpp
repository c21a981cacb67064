#include "install/RefreshServiceCommand.h"

#include <algorithm>
#include <cwctype>
#include <vector>

#include "common/UniqueResource.h"
#include "install/RegistryValue.h"
#include "install/ServiceDependencies.h"
#include "install/ShutdownTime.h"
#include "logging/ErrorText.h"
#include "logging/Logger.h"
#include "settings/Duration.h"
#include "settings/SettingsInterfaces.h"
#include "settings/StopTimeout.h"

namespace {

const Logger logger(L"RefreshServiceCommand");

// What the service's registry key holds now.
struct InstalledService {
    std::wstring displayName;
    std::wstring description;
    std::vector<std::wstring> dependencies;
    DWORD shutdownTime = 0;
};

// The key, not QueryServiceConfigW: Wine's query reports no dependencies.
LSTATUS readInstalled(SC_HANDLE service, const std::wstring& name, InstalledService& installed)
{
    HKEY opened = nullptr;
    const std::wstring path = L"SYSTEM\\CurrentControlSet\\Services\\" + name;
    const LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &opened);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    const UniqueRegistryKey key(opened);
    installed.displayName = registryValue(key.get(), L"DisplayName", RRF_RT_REG_SZ).c_str();
    installed.description = registryValue(key.get(), L"Description", RRF_RT_REG_SZ).c_str();
    installed.dependencies = registeredDependencies(key.get());
    SERVICE_PRESHUTDOWN_INFO info = {};
    DWORD needed = 0;
    if (QueryServiceConfig2W(service, SERVICE_CONFIG_PRESHUTDOWN_INFO, reinterpret_cast<BYTE*>(&info), sizeof info,
                             &needed)) {
        installed.shutdownTime = info.dwPreshutdownTimeout;
    }
    return ERROR_SUCCESS;
}

// Every one must run first, so the order does not count, nor, as in all
// service names, the letter case.
bool sameDependencies(std::vector<std::wstring> first, std::vector<std::wstring> second)
{
    for (std::vector<std::wstring>* names : {&first, &second}) {
        for (std::wstring& name : *names) {
            std::transform(name.begin(), name.end(), name.begin(),
                           [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
        }
        std::sort(names->begin(), names->end());
    }
    return first == second;
}

// The display name and the dependencies, where they differ; null leaves a
// value as it is, as SERVICE_NO_CHANGE does.
bool changeConfig(SC_HANDLE service, const InstalledService& installed, const ServiceSettings& settings)
{
    const std::wstring name = settings.getServiceName();
    const std::wstring displayName = settings.getServiceDisplayName();
    const std::vector<std::wstring>& dependencies = settings.getDependencies();
    const bool displayNameChanges = installed.displayName != displayName;
    const bool dependenciesChange = !sameDependencies(installed.dependencies, dependencies);
    if (!displayNameChanges && !dependenciesChange) {
        return true;
    }
    const std::wstring list = dependencyList(dependencies);
    if (!ChangeServiceConfigW(service, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, nullptr, nullptr,
                              nullptr, dependenciesChange ? list.c_str() : nullptr, nullptr, nullptr,
                              displayNameChanges ? displayName.c_str() : nullptr)) {
        return false;
    }
    if (displayNameChanges) {
        logger.info(L"Display name of service '%s' changed from \"%s\" to \"%s\"", name, installed.displayName,
                    displayName);
    }
    if (dependenciesChange) {
        logger.info(L"Dependencies of service '%s' changed from %s to %s", name, dependencyText(installed.dependencies),
                    dependencyText(dependencies));
    }
    return true;
}

bool changeDescription(SC_HANDLE service, const InstalledService& installed, const ServiceSettings& settings)
{
    const std::wstring description = settings.getServiceDescription();
    if (installed.description == description) {
        return true;
    }
    SERVICE_DESCRIPTIONW text = {const_cast<wchar_t*>(description.c_str())};
    if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, &text)) {
        return false;
    }
    logger.info(L"Description of service '%s' changed from \"%s\" to \"%s\"", settings.getServiceName(),
                installed.description, description);
    return true;
}

bool changeShutdownTime(SC_HANDLE service, const InstalledService& installed, const std::wstring& name,
                        DWORD shutdownTime)
{
    if (installed.shutdownTime == shutdownTime) {
        return true;
    }
    SERVICE_PRESHUTDOWN_INFO info = {shutdownTime};
    if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_PRESHUTDOWN_INFO, &info)) {
        return false;
    }
    logger.info(L"Time to stop at shutdown of service '%s' changed from %s to %s", name,
                formatDuration(std::chrono::milliseconds(installed.shutdownTime)),
                formatDuration(std::chrono::milliseconds(shutdownTime)));
    return true;
}

bool hasTheSettings(const InstalledService& installed, const ServiceSettings& settings, DWORD shutdownTime)
{
    return installed.shutdownTime == shutdownTime && installed.displayName == settings.getServiceDisplayName() &&
           installed.description == settings.getServiceDescription() &&
           sameDependencies(installed.dependencies, settings.getDependencies());
}

}  // namespace

FailureMessage refreshServiceFailure(const std::wstring& text, DWORD code)
{
    switch (code) {
    case ERROR_ACCESS_DENIED: return {LEVEL_WARN, format(L"%s Access denied", text)};
    case ERROR_CIRCULAR_DEPENDENCY:
        return {LEVEL_WARN, format(L"%s A circular service dependency was specified", text)};
    case ERROR_SERVICE_MARKED_FOR_DELETE: return {LEVEL_WARN, format(L"%s Service is marked for delete.", text)};
    case ERROR_DUPLICATE_SERVICE_NAME: return {LEVEL_WARN, format(L"%s Service display name is already used", text)};
    default: return {LEVEL_ERROR, format(L"%s %s", text, errorText(code))};
    }
}

RefreshServiceCommand::RefreshServiceCommand(const ServiceTaskSettings& settings)
    : ServiceCommand(SERVICE_RIGHTS_CHANGE_CONFIG, settings), shutdownTime_(preshutdownTimeout(timeToStop(settings)))
{
}

int RefreshServiceCommand::executeWithService(SC_HANDLE, SC_HANDLE service)
{
    const std::wstring name = settings().getServiceName();
    logger.debug(L"Refreshing %s service", name);
    InstalledService installed;
    const LSTATUS status = readInstalled(service, name, installed);
    if (status != ERROR_SUCCESS) {
        logger.error(L"Failed to read the configuration of service %s. %s", name,
                     errorText(static_cast<DWORD>(status)));
        return 1;
    }
    if (hasTheSettings(installed, settings(), shutdownTime_)) {
        logger.info(L"Service '%s' already has the display name, description, dependencies and time to stop at "
                    L"shutdown of %s: nothing changed",
                    name, settings().getSettingsFile());
        return 0;
    }
    if (!changeConfig(service, installed, settings()) || !changeDescription(service, installed, settings()) ||
        !changeShutdownTime(service, installed, name, shutdownTime_)) {
        const FailureMessage failure =
            refreshServiceFailure(format(L"Failed to change service %s.", name), GetLastError());
        logger.log(failure.level, failure.text);
        return 1;
    }
    return 0;
}
