#include "support/InstallTestCase.h"

#include <algorithm>

#include "common/UniqueResource.h"
#include "eventlog/EventSourceCommands.h"
#include "support/TestService.h"

ServiceConfig queryConfig(const std::wstring& name)
{
    ServiceConfig config;
    const UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    const UniqueServiceHandle service(OpenServiceW(manager.get(), name.c_str(), SERVICE_QUERY_CONFIG));
    std::vector<BYTE> buffer(8192);
    DWORD needed = 0;
    auto* query = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!service || !QueryServiceConfigW(service.get(), query, static_cast<DWORD>(buffer.size()), &needed)) {
        return config;
    }
    config.found = true;
    config.binaryPath = query->lpBinaryPathName;
    config.startType = query->dwStartType;
    config.account = query->lpServiceStartName;
    config.displayName = query->lpDisplayName;
    SERVICE_PRESHUTDOWN_INFO preshutdown = {};
    if (QueryServiceConfig2W(service.get(), SERVICE_CONFIG_PRESHUTDOWN_INFO, reinterpret_cast<BYTE*>(&preshutdown),
                             sizeof preshutdown, &needed)) {
        config.shutdownTime = preshutdown.dwPreshutdownTimeout;
    }
    return config;
}

bool isRegistered(const std::wstring& name)
{
    const UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    const UniqueServiceHandle service(OpenServiceW(manager.get(), name.c_str(), SERVICE_QUERY_STATUS));
    return static_cast<bool>(service);
}

RegisteredService::~RegisteredService()
{
    const UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    const UniqueServiceHandle service(OpenServiceW(manager.get(), name_.c_str(), DELETE));
    if (service) {
        DeleteService(service.get());
    }
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, eventSourceKeyPath(name_ + L" (see below)").c_str());
}

int lineIndex(const ProcessResult& result, const std::wstring& line)
{
    const std::vector<std::wstring> lines = result.lines();
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] == line) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::vector<std::wstring> startStopHint(const std::wstring& name)
{
    return {
        L"",
        L"Use the folloging commands to start/stop the service:",
        L"  net.exe start " + name,
        L"    to start service",
        L"",
        L"  net.exe stop " + name,
        L"    to stop service",
        L"",
    };
}

std::vector<std::wstring> lastLines(const ProcessResult& result, size_t count)
{
    const std::vector<std::wstring> lines = result.lines();
    return std::vector<std::wstring>(lines.end() - static_cast<std::ptrdiff_t>(std::min(count, lines.size())),
                                     lines.end());
}

const std::wstring InstallTestCase::CMD = L"C:\\windows\\system32\\cmd.exe";

RegisteredService& InstallTestCase::newService(const std::wstring& description, const std::wstring& program)
{
    services_.emplace_back(new RegisteredService(TestService::uniqueName(L"HwInstallTest")));
    writeSettings(services_.back()->name(), description, program);
    return *services_.back();
}

void InstallTestCase::writeSettings(const std::wstring& name, const std::wstring& description,
                                    const std::wstring& program)
{
    writeUtf8(settings, L"<hostwell><name>" + name + L"</name><displayName>" + name +
                            L" display</displayName><description>" + description +
                            L"</description><execution><program>" + program +
                            L"</program></execution></hostwell>");
}

void InstallTestCase::writeIdentity(const std::wstring& name, const std::wstring& displayName,
                                    const std::wstring& description, const std::wstring& dependencies)
{
    writeUtf8(settings, L"<hostwell><name>" + name + L"</name><displayName>" + displayName +
                            L"</displayName><description>" + description + L"</description><dependencies>" +
                            dependencies + L"</dependencies><execution><program>" + CMD +
                            L"</program></execution></hostwell>");
}

ProcessResult InstallTestCase::run(const std::wstring& command, std::vector<std::wstring> arguments)
{
    arguments.insert(arguments.begin(), command);
    ProcessOptions options;
    options.workDir = dir.path();
    return runHostwell(arguments, options);
}

ProcessResult InstallTestCase::install(std::vector<std::wstring> arguments)
{
    arguments.insert(arguments.begin(), L"/settings=" + settings);
    return run(L"install", arguments);
}

std::wstring InstallTestCase::registeredCommandLine() const
{
    return L"\"" + hostwellPath() + L"\" hostwell \"/settings=" + settings + L"\"";
}
