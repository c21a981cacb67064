#include "install/ServiceRegistration.h"

#include <shellapi.h>

#include "commandline/Argz.h"
#include "common/SystemLibrary.h"
#include "common/UniqueResource.h"
#include "install/ServiceDependencies.h"
#include "logging/ErrorText.h"
#include "logging/Logger.h"

namespace {

const Logger logger(L"ServiceRegistration");

// The largest buffer QueryServiceConfigW may ask for.
const DWORD LARGEST_CONFIG = 8192;

std::vector<std::wstring> dependenciesOf(const std::wstring& name)
{
    UniqueRegistryKey key;
    const std::wstring path = L"SYSTEM\\CurrentControlSet\\Services\\" + name;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) {
        return {};
    }
    return registeredDependencies(key.get());
}

}  // namespace

bool queryRegistration(SC_HANDLE service, const std::wstring& name, ServiceRegistration& registration)
{
    std::vector<BYTE> buffer(LARGEST_CONFIG);
    DWORD needed = 0;
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!QueryServiceConfigW(service, config, static_cast<DWORD>(buffer.size()), &needed)) {
        logger.error(L"Failed to read the configuration of service %s. %s", name, lastErrorText());
        return false;
    }
    registration.displayName = config->lpDisplayName != nullptr ? config->lpDisplayName : L"";
    registration.startType = config->dwStartType;
    registration.account = config->lpServiceStartName != nullptr ? config->lpServiceStartName : L"";
    registration.binaryPath = config->lpBinaryPathName != nullptr ? config->lpBinaryPathName : L"";
    registration.dependencies = dependenciesOf(name);
    // Fails where it is not kept (Wine): the start is then not delayed.
    SERVICE_DELAYED_AUTO_START_INFO delayed = {};
    registration.delayedAutostart =
        QueryServiceConfig2W(service, SERVICE_CONFIG_DELAYED_AUTO_START_INFO, reinterpret_cast<BYTE*>(&delayed),
                             sizeof delayed, &needed) &&
        delayed.fDelayedAutostart;
    return true;
}

std::wstring startTypeName(const ServiceRegistration& registration)
{
    switch (registration.startType) {
    case SERVICE_AUTO_START: return registration.delayedAutostart ? L"delayed-auto" : L"auto";
    case SERVICE_DEMAND_START: return L"demand";
    case SERVICE_DISABLED: return L"disabled";
    default: return std::to_wstring(registration.startType);
    }
}

std::wstring registeredArgument(const std::wstring& commandLine, const std::wstring& key)
{
    // shell32 is loaded for this alone: imported, it would be in every service's memory.
    const UniqueModule shell32 = loadSystemLibrary(L"shell32.dll");
    decltype(&::CommandLineToArgvW) split = nullptr;
    if (!shell32 || !loadFunction(shell32.get(), "CommandLineToArgvW", split)) {
        return std::wstring();
    }
    int count = 0;
    const UniqueLocalMemory arguments(split(commandLine.c_str(), &count));
    if (!arguments) {
        return std::wstring();
    }
    std::wstring value;
    Argz(count, static_cast<wchar_t**>(arguments.get())).getValue(key, value);
    return value;
}
