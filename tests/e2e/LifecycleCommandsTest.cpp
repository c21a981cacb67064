#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "common/Format.h"
#include "common/TextConversion.h"
#include "support/ProcessRunner.h"
#include "support/ServiceTestCase.h"
#include "support/TestService.h"

// start, stop, restart and status against Wine's real service control manager.

namespace {

const std::wstring NEVER_PRINTED_MARKER = L"<status-marker><started>never printed</started></status-marker>";

const std::wstring MEANING_OF_1066 =
    L"Exit code 1066: the program ended without a stop request or could not be run; the service-specific exit "
    L"code is the program's exit code, or Hostwell's reason (see its log)";

std::wstring runningLine(const std::wstring& name, DWORD processId)
{
    return format(L"Service %s is RUNNING, process id %lu", name, processId);
}

}  // namespace

class Lifecycle : public ServiceTestCase {
protected:
    std::wstring bySettings = L"/settings=" + settings;
    std::wstring byName = L"/service=" + name;
};

TEST_F(Lifecycle, CommandsReachTheStateOrFindItReachedAndStatusSaysWhereTheServiceIs)
{
    writeSettings(L"ignore-ctrl sleep 600000");
    TestService service(name, hostwellArguments());

    ProcessResult result = runHostwell({L"status", byName});
    EXPECT_EQ(result.exitCode, 3u) << toUtf8(result.output());
    EXPECT_TRUE(result.contains(L"Service " + name + L" is STOPPED, exit code "));

    result = runHostwell({L"start", bySettings});
    ASSERT_EQ(result.exitCode, 0u) << toUtf8(result.output());
    const SERVICE_STATUS_PROCESS first = service.status();
    EXPECT_EQ(first.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_TRUE(result.hasLine(runningLine(name, first.dwProcessId))) << toUtf8(result.output());

    result = runHostwell({L"status", byName});
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_TRUE(result.hasLine(runningLine(name, first.dwProcessId))) << toUtf8(result.output());

    result = runHostwell({L"start", byName});
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_TRUE(result.hasLine(L"Service " + name + L" is already running")) << toUtf8(result.output());

    result = runHostwell({L"restart", bySettings});
    ASSERT_EQ(result.exitCode, 0u) << toUtf8(result.output());
    const SERVICE_STATUS_PROCESS second = service.status();
    EXPECT_NE(second.dwProcessId, first.dwProcessId);
    EXPECT_TRUE(result.hasLine(L"Service " + name + L" is STOPPED, exit code 0, service-specific exit code 0"));
    EXPECT_TRUE(result.hasLine(runningLine(name, second.dwProcessId))) << toUtf8(result.output());

    result = runHostwell({L"stop", byName});
    EXPECT_EQ(result.exitCode, 0u) << toUtf8(result.output());
    EXPECT_EQ(service.status().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));

    result = runHostwell({L"stop", bySettings});
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_TRUE(result.hasLine(L"Service " + name + L" is already stopped")) << toUtf8(result.output());

    result = runHostwell({L"status", bySettings});
    EXPECT_EQ(result.exitCode, 3u);
    EXPECT_EQ(result.lines().back(), L"Service " + name + L" is STOPPED, exit code 0, service-specific exit code 0");
}

TEST_F(Lifecycle, StartWaitsOnlyAsLongAsAskedAndFailsWithTheExitCodesOfAServiceThatStops)
{
    writeSettings(L"ignore-ctrl sleep 600000", NEVER_PRINTED_MARKER);
    TestService service(name, hostwellArguments());

    ProcessResult result = runHostwell({L"start", byName, L"/wait=0"});
    EXPECT_EQ(result.exitCode, 0u) << toUtf8(result.output());
    EXPECT_TRUE(result.hasLine(L"Service " + name + L" was asked to start"));

    result = runHostwell({L"start", byName, L"/wait=1"});
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_TRUE(result.hasLine(L"Service " + name + L" is not RUNNING after 1 s: it is START_PENDING"))
        << toUtf8(result.output());

    result = runHostwell({L"status", byName});
    EXPECT_EQ(result.exitCode, 3u);
    EXPECT_TRUE(result.hasLine(format(L"Service %s is START_PENDING, process id %lu", name,
                                      service.status().dwProcessId)))
        << toUtf8(result.output());

    result = runHostwell({L"stop", byName});
    EXPECT_EQ(result.exitCode, 0u) << toUtf8(result.output());

    // The program ends before it prints the marker: the service stops with 1066 and its exit code.
    writeSettings(L"exit 7", NEVER_PRINTED_MARKER);
    result = runHostwell({L"start", bySettings});
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_TRUE(result.hasLine(L"Service " + name +
                               L" stopped while starting: exit code 1066, service-specific exit code 7"))
        << toUtf8(result.output());
    EXPECT_TRUE(result.hasLine(MEANING_OF_1066));

    result = runHostwell({L"status", byName});
    EXPECT_EQ(result.exitCode, 3u);
    EXPECT_TRUE(result.hasLine(L"Service " + name + L" is STOPPED, exit code 1066, service-specific exit code 7"))
        << toUtf8(result.output());
    EXPECT_TRUE(result.hasLine(MEANING_OF_1066));
}

TEST_F(Lifecycle, StartOfAServiceThatIsStillStoppingIsNotASuccess)
{
    // The stop command keeps the service stopping for three seconds.
    writeSettings(L"sleep 600000", stopCommand(L"sleep 3000", L"0.1"));
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    ASSERT_EQ(service.waitFor(SERVICE_RUNNING).dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING))
        << "the service did not start";
    ASSERT_TRUE(service.requestStop());
    ASSERT_EQ(service.status().dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));

    const ProcessResult result = runHostwell({L"start", byName, L"/wait=0"});
    EXPECT_EQ(result.exitCode, 1u) << toUtf8(result.output());
    EXPECT_TRUE(result.hasLine(L"Failed to start service " + name + L": it is still stopping"))
        << toUtf8(result.output());
    EXPECT_EQ(service.waitFor(SERVICE_STOPPED).dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED))
        << "the service did not stop after its stop command";
}

TEST(LifecycleArguments, AnUnknownServiceOrABadWaitFailsWithTheReason)
{
    const std::wstring missing = TestService::uniqueName(L"HwMissing");
    for (const wchar_t* command : {L"start", L"stop", L"restart", L"status"}) {
        const ProcessResult result = runHostwell({command, L"/service=" + missing});
        EXPECT_EQ(result.exitCode, 1u) << toUtf8(command);
        EXPECT_TRUE(result.hasLine(L"Failed to open service " + missing + L". Service does not exist"))
            << toUtf8(result.output());
    }

    for (const wchar_t* wait : {L"/wait=-1", L"/wait=1.5", L"/wait="}) {
        const ProcessResult result = runHostwell({L"start", L"/service=" + missing, wait});
        EXPECT_EQ(result.exitCode, 1u);
        EXPECT_TRUE(result.hasLine(std::wstring(wait) +
                                   L" is not a whole number of seconds: write /wait=<seconds>, or /wait=0 not to wait"))
            << toUtf8(result.output());
    }

    for (const wchar_t* command : {L"start", L"status", L"deleteByName"}) {
        const ProcessResult result = runHostwell({command, L"/service="});
        EXPECT_EQ(result.exitCode, 1u) << toUtf8(command);
        EXPECT_TRUE(result.hasLine(L"The service name in /service= is empty: write /service=<service name>"))
            << toUtf8(result.output());
    }

    const ProcessResult unnamed = runHostwell({L"status"});
    EXPECT_EQ(unnamed.exitCode, 1u);
    EXPECT_TRUE(unnamed.hasLine(L"Name the service with /settings=<path to settings file> or /service=<service name>"));
}
