#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/TextConversion.h"
#include "common/UniqueResource.h"
#include "eventlog/EventSourceCommands.h"
#include "support/CurrentUser.h"
#include "support/InstallTestCase.h"
#include "support/ProcessRunner.h"
#include "support/TestFiles.h"

// install, refresh, delete and deleteByName against Wine's real service
// control manager and registry.

namespace {

bool hasServiceKey(const std::wstring& name)
{
    HKEY opened = nullptr;
    const std::wstring path = L"SYSTEM\\CurrentControlSet\\Services\\" + name;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(opened);
    return true;
}

std::wstring readDescription(const std::wstring& name)
{
    const std::wstring path = L"SYSTEM\\CurrentControlSet\\Services\\" + name;
    wchar_t value[1024] = {};
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), L"Description", RRF_RT_REG_SZ, nullptr, value, &size) !=
        ERROR_SUCCESS) {
        return L"<none>";
    }
    return value;
}

std::vector<std::wstring> readDependencies(const std::wstring& name)
{
    const std::wstring path = L"SYSTEM\\CurrentControlSet\\Services\\" + name;
    wchar_t value[1024] = {};
    DWORD size = sizeof value;
    std::vector<std::wstring> names;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), L"DependOnService", RRF_RT_REG_MULTI_SZ, nullptr, value,
                     &size) != ERROR_SUCCESS) {
        return names;
    }
    for (const wchar_t* each = value; *each != L'\0'; each += names.back().size() + 1) {
        names.emplace_back(each);
    }
    return names;
}

struct EventSource {
    bool found = false;
    DWORD messageFileType = 0;
    std::wstring messageFile;
    DWORD typesSupported = 0;
};

EventSource readEventSource(const std::wstring& serviceName)
{
    EventSource source;
    HKEY opened = nullptr;
    const std::wstring path = eventSourceKeyPath(serviceName + L" (see below)");
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) {
        return source;
    }
    const UniqueRegistryKey key(opened);
    source.found = true;
    wchar_t file[1024] = {};
    DWORD size = sizeof file;
    RegQueryValueExW(key.get(), L"EventMessageFile", nullptr, &source.messageFileType, reinterpret_cast<BYTE*>(file),
                     &size);
    source.messageFile = file;
    size = sizeof source.typesSupported;
    RegGetValueW(key.get(), nullptr, L"TypesSupported", RRF_RT_REG_DWORD, nullptr, &source.typesSupported, &size);
    return source;
}

}  // namespace

using Install = InstallTestCase;

TEST_F(Install, AsLocalSystemRegistersTheCommandLineAndTheDescriptionAndPrintsTheHint)
{
    const RegisteredService& service = newService();
    // A relative settings path counts from the current directory; user arguments are ignored.
    const ProcessResult result = run(L"install", {L"/settings=app.xml", L"/runAsSystem", L"/user=someone"});
    ASSERT_EQ(result.exitCode, 0u) << toUtf8(result.output());
    EXPECT_TRUE(result.hasLine(L"Installing service unser LOCAL_SYSTEM account"));
    EXPECT_TRUE(result.hasLine(L"Service '" + service.name() + L"' was created"));
    EXPECT_FALSE(result.contains(L"Installing service for user"));
    EXPECT_FALSE(result.contains(L"User logged in as service"));
    EXPECT_FALSE(result.contains(L"Allowed service running user"));
    EXPECT_EQ(lastLines(result, 8), startStopHint(service.name()));

    const ServiceConfig config = queryConfig(service.name());
    ASSERT_TRUE(config.found);
    EXPECT_EQ(config.binaryPath, registeredCommandLine());
    EXPECT_EQ(config.startType, static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_EQ(config.account, L"LocalSystem");
    EXPECT_EQ(config.displayName, service.name() + L" display");
    EXPECT_EQ(readDescription(service.name()), L"Runs the install test");

    // Written the documented way, the description outlives a change of the configuration.
    writeIdentity(service.name(), L"Other display", L"Runs the install test", L"");
    const ProcessResult refreshed = run(L"refresh", {L"/settings=app.xml"});
    ASSERT_EQ(refreshed.exitCode, 0u) << toUtf8(refreshed.output());
    EXPECT_EQ(queryConfig(service.name()).displayName, L"Other display");
    EXPECT_EQ(readDescription(service.name()), L"Runs the install test");
}

TEST_F(Install, LogFileAndDebugAreAddedToTheRegisteredCommandLine)
{
    const RegisteredService& service = newService();
    const ProcessResult result = install({L"/runAsSystem", L"/logfile=logs\\service.log", L"/debug"});
    ASSERT_EQ(result.exitCode, 0u) << toUtf8(result.output());
    const std::wstring logFile = dir.file(L"logs\\service.log");
    EXPECT_EQ(queryConfig(service.name()).binaryPath,
              registeredCommandLine() + L" \"/LogFile=" + logFile + L"\" /debug ");

    const std::vector<std::wstring> lines = result.lines();
    const auto logLine = std::find_if(lines.begin(), lines.end(), [&](const std::wstring& line) {
        return line.find(L"Service log file is set to: " + logFile) != std::wstring::npos;
    });
    const auto accountLine = std::find_if(lines.begin(), lines.end(), [](const std::wstring& line) {
        return line.find(L"Installing service unser LOCAL_SYSTEM account") != std::wstring::npos;
    });
    ASSERT_NE(logLine, lines.end());
    EXPECT_LT(logLine, accountLine);
}

TEST_F(Install, StartsOnDemandWhenAutostartOrAutorunIsNotTrueAndAsksForADelayedStart)
{
    const struct {
        std::vector<std::wstring> switches;
        DWORD startType;
    } cases[] = {
        {{}, SERVICE_AUTO_START},
        {{L"/autorun=Delayed"}, SERVICE_AUTO_START},
        {{L"/autorun=delayed", L"/autostart=false"}, SERVICE_DEMAND_START},
        {{L"/autostart=false"}, SERVICE_DEMAND_START},
        {{L"/autorun=false"}, SERVICE_DEMAND_START},
        {{L"/autorun=no"}, SERVICE_DEMAND_START},
        {{L"/autostart=TRUE", L"/autorun=true"}, SERVICE_AUTO_START},
    };
    for (const auto& entry : cases) {
        const RegisteredService& service = newService();
        std::vector<std::wstring> arguments = entry.switches;
        arguments.push_back(L"/runAsSystem");
        const ProcessResult result = install(arguments);
        ASSERT_EQ(result.exitCode, 0u) << toUtf8(result.output());
        EXPECT_EQ(queryConfig(service.name()).startType, entry.startType) << toUtf8(arguments.front());
        // Wine refuses the delayed start with 124; the unit test of the recovery actions sees the call.
        const bool delayed = arguments.front() == L"/autorun=Delayed";
        EXPECT_EQ(result.contains(L"Service '" + service.name() +
                                  L"' will start with the other automatic services, not after them: "),
                  delayed)
            << toUtf8(result.output());
        EXPECT_EQ(result.contains(L"counts as false"), arguments.front() == L"/autorun=no") << toUtf8(result.output());
    }
}

TEST_F(Install, OfAnExistingServiceFailsAndChangesNothing)
{
    const RegisteredService& service = newService(L"First description");
    ASSERT_EQ(install({L"/runAsSystem"}).exitCode, 0u);

    writeSettings(service.name(), L"Second description");
    const ProcessResult result = install({L"/user=" + currentUserName(), L"/password=secret", L"/autorun=false"});
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_TRUE(result.hasLine(L"Failed to create service " + service.name() + L". The service already exists"));
    EXPECT_FALSE(result.contains(L"Allowed service running user"));
    EXPECT_FALSE(result.contains(L"Use the folloging commands"));

    const ServiceConfig config = queryConfig(service.name());
    EXPECT_EQ(config.startType, static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_EQ(config.account, L"LocalSystem");
    EXPECT_EQ(readDescription(service.name()), L"First description");
}

TEST_F(Install, RefusesBadServiceNamesWithoutRegisteringAnything)
{
    const struct {
        std::wstring name;
        std::wstring reason;  // empty: Wine's own error text
    } cases[] = {
        {L"bad/name", L" The specified service name is invalid"},
        {L"bad\\name", L" The specified service name is invalid"},
        {L"", L" The specified service name is invalid"},
        {std::wstring(300, L'n'), L""},
    };
    for (const auto& entry : cases) {
        RegisteredService guard(entry.name);
        writeSettings(entry.name, L"Bad name");
        const ProcessResult result = install({L"/runAsSystem"});
        EXPECT_EQ(result.exitCode, 1u) << toUtf8(result.output());
        const std::wstring failure = L"Failed to create service " + entry.name + L"." + entry.reason;
        EXPECT_EQ(result.contains(failure), true) << toUtf8(result.output());
        EXPECT_FALSE(result.contains(L"was created"));
        EXPECT_FALSE(isRegistered(entry.name));
    }
}

TEST_F(Install, FailsBeforeAnythingIsRegisteredWhenTheSettingsOrTheAccountAreIncomplete)
{
    const RegisteredService& missingProgram = newService(L"No program", dir.file(L"missing.exe"));
    ProcessResult result = install({L"/runAsSystem"});
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_TRUE(result.contains(L"missing.exe"));
    EXPECT_FALSE(result.contains(L"Installing service"));
    EXPECT_FALSE(isRegistered(missingProgram.name()));

    const RegisteredService& noUser = newService();
    result = install({L"/password=secret"});
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_TRUE(result.hasLine(L"/user=<user> parameter must be specified."));
    EXPECT_FALSE(isRegistered(noUser.name()));

    const RegisteredService& noPassword = newService();
    result = install({L"/user=" + currentUserName()});
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_TRUE(result.hasLine(L"/password=<password> parameter must be specified."));
    EXPECT_FALSE(isRegistered(noPassword.name()));
}

TEST_F(Install, DeleteRemovesTheServiceAndASecondDeleteFindsNone)
{
    const RegisteredService& service = newService();
    ASSERT_EQ(install({L"/runAsSystem"}).exitCode, 0u);

    ProcessResult result = run(L"delete", {L"/settings=" + settings});
    EXPECT_EQ(result.exitCode, 0u) << toUtf8(result.output());
    EXPECT_TRUE(result.hasLine(L"Service '" + service.name() + L"' will be removed"));
    EXPECT_FALSE(isRegistered(service.name()));
    EXPECT_FALSE(hasServiceKey(service.name()));

    result = run(L"delete", {L"/settings=" + settings});
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_TRUE(result.hasLine(L"Failed to open service " + service.name() + L". Service does not exist"));
}

TEST_F(Install, DeleteByNameNeedsOnlyTheServiceName)
{
    const RegisteredService& service = newService();
    ASSERT_EQ(install({L"/runAsSystem"}).exitCode, 0u);
    DeleteFileW(settings.c_str());

    ProcessResult result = run(L"deleteByName", {L"/service=" + service.name()});
    EXPECT_EQ(result.exitCode, 0u) << toUtf8(result.output());
    EXPECT_TRUE(result.hasLine(L"Service '" + service.name() + L"' will be removed"));
    EXPECT_FALSE(isRegistered(service.name()));

    result = run(L"deleteByName", {L"/service=" + service.name()});
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_TRUE(result.hasLine(L"Failed to open service " + service.name() + L". Service does not exist"));

    result = run(L"deleteByName", {});
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_TRUE(result.hasLine(L"Failed to find argument service"));
}

TEST_F(Install, RegistersTheDependenciesThatValidateCreateSettingsShows)
{
    const RegisteredService& service = newService();
    writeIdentity(service.name(), L"Shown", L"Depends", L"<service>Tcpip</service><service>Afd</service>");
    const ProcessResult validated = run(L"validate-create-settings", {L"/settings=" + settings, L"/runAsSystem"});
    ASSERT_EQ(validated.exitCode, 0u) << toUtf8(validated.output());
    const int runAsService = lineIndex(validated, L"[j]: RunAsService:true!~");
    EXPECT_EQ(lineIndex(validated, L"[j]: Dependency:Tcpip!~"), runAsService + 1) << toUtf8(validated.output());
    EXPECT_EQ(lineIndex(validated, L"[j]: Dependency:Afd!~"), runAsService + 2);

    const ProcessResult installed = install({L"/runAsSystem"});
    ASSERT_EQ(installed.exitCode, 0u) << toUtf8(installed.output());
    EXPECT_EQ(readDependencies(service.name()), (std::vector<std::wstring>{L"Tcpip", L"Afd"}));
}

TEST_F(Install, RegistersTheEventSourceThatDeleteAndDeleteByNameRemove)
{
    const RegisteredService& service = newService();
    const std::wstring source = L"\"" + service.name() + L" (see below)\"";
    ProcessResult result = install({L"/runAsSystem"});
    ASSERT_EQ(result.exitCode, 0u) << toUtf8(result.output());
    EXPECT_TRUE(result.hasLine(L"Registered event log source " + source));
    const EventSource registered = readEventSource(service.name());
    EXPECT_TRUE(registered.found);
    EXPECT_EQ(registered.messageFileType, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(registered.messageFile, hostwellPath());
    EXPECT_EQ(registered.typesSupported, 7u);

    result = run(L"delete", {L"/settings=" + settings});
    EXPECT_EQ(result.exitCode, 0u) << toUtf8(result.output());
    EXPECT_TRUE(result.hasLine(L"Removed event log source " + source));
    EXPECT_FALSE(readEventSource(service.name()).found);

    ASSERT_EQ(install({L"/runAsSystem"}).exitCode, 0u);
    ASSERT_TRUE(readEventSource(service.name()).found);
    result = run(L"deleteByName", {L"/service=" + service.name()});
    EXPECT_EQ(result.exitCode, 0u) << toUtf8(result.output());
    EXPECT_TRUE(result.hasLine(L"Removed event log source " + source));
    EXPECT_FALSE(readEventSource(service.name()).found);
}

TEST_F(Install, RefreshAppliesDisplayNameDescriptionDependenciesAndShutdownTimeAndSaysWhatChanged)
{
    const RegisteredService& service = newService(L"Old description");
    const std::wstring& name = service.name();
    ASSERT_EQ(install({L"/user=" + currentUserName(), L"/password=secret", L"/autorun=false"}).exitCode, 0u);
    const ServiceConfig installed = queryConfig(name);
    // The default stop timeout of 2 minutes and 10 s to spare.
    EXPECT_EQ(installed.shutdownTime, 130000u);
    const std::wstring nothingChanged = L"Service '" + name +
                                        L"' already has the display name, description, dependencies and time to "
                                        L"stop at shutdown of " +
                                        settings + L": nothing changed";
    const auto refresh = [this]() { return run(L"refresh", {L"/settings=" + settings}); };
    const auto changes = [](const ProcessResult& result) {
        std::vector<std::wstring> lines;
        for (const std::wstring& line : result.lines()) {
            if (line.find(L" changed from ") != std::wstring::npos) {
                lines.push_back(line);
            }
        }
        return lines;
    };

    ProcessResult result = refresh();
    EXPECT_EQ(result.exitCode, 0u) << toUtf8(result.output());
    EXPECT_TRUE(result.hasLine(nothingChanged)) << toUtf8(result.output());

    writeIdentity(name, L"New display", L"New description", L"<service>Tcpip</service><service>Afd</service>");
    result = refresh();
    EXPECT_EQ(result.exitCode, 0u) << toUtf8(result.output());
    EXPECT_EQ(changes(result), (std::vector<std::wstring>{
                                   L"Display name of service '" + name + L"' changed from \"" + name +
                                       L" display\" to \"New display\"",
                                   L"Dependencies of service '" + name + L"' changed from (none) to Tcpip, Afd",
                                   L"Description of service '" + name +
                                       L"' changed from \"Old description\" to \"New description\"",
                               }));
    const ServiceConfig refreshed = queryConfig(name);
    EXPECT_EQ(refreshed.displayName, L"New display");
    EXPECT_EQ(readDescription(name), L"New description");
    EXPECT_EQ(readDependencies(name), (std::vector<std::wstring>{L"Tcpip", L"Afd"}));
    EXPECT_EQ(refreshed.account, installed.account);
    EXPECT_EQ(refreshed.startType, installed.startType);
    EXPECT_EQ(refreshed.binaryPath, installed.binaryPath);

    result = refresh();
    EXPECT_TRUE(result.hasLine(nothingChanged)) << toUtf8(result.output());
    EXPECT_TRUE(changes(result).empty());

    writeIdentity(name, L"New display", L"New description", L"");
    result = refresh();
    EXPECT_EQ(changes(result), (std::vector<std::wstring>{L"Dependencies of service '" + name +
                                                          L"' changed from Tcpip, Afd to (none)"}));
    EXPECT_TRUE(readDependencies(name).empty());

    writeUtf8(settings, L"<hostwell><name>" + name + L"</name><displayName>New display</displayName><description>"
                        L"New description</description><execution><program>" + CMD +
                        L"</program><termination timeout=\"20\"/></execution></hostwell>");
    result = refresh();
    EXPECT_EQ(changes(result), (std::vector<std::wstring>{L"Time to stop at shutdown of service '" + name +
                                                          L"' changed from 130s to 10m"}));
    EXPECT_EQ(queryConfig(name).shutdownTime, 600000u);
    // A stop waits for the post-stop command too.
    writeUtf8(settings, L"<hostwell><name>" + name + L"</name><displayName>New display</displayName><description>"
                        L"New description</description><execution><program>" + CMD +
                        L"</program><termination timeout=\"1\"/><hooks><post-stop timeout=\"30s\"><program>" + CMD +
                        L"</program></post-stop></hooks></execution></hostwell>");
    result = refresh();
    EXPECT_EQ(changes(result), (std::vector<std::wstring>{L"Time to stop at shutdown of service '" + name +
                                                          L"' changed from 10m to 100s"}));

    ASSERT_EQ(run(L"delete", {L"/settings=" + settings}).exitCode, 0u);
    result = refresh();
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_TRUE(result.hasLine(L"Failed to open service " + name + L". Service does not exist"));
}
