#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/Format.h"
#include "common/TextConversion.h"
#include "common/UniqueResource.h"
#include "support/ProcessRunner.h"
#include "support/ServiceTestCase.h"
#include "support/TestService.h"

using Soak = ServiceTestCase;

TEST_F(Soak, SixtyInstallStartStopDeleteCyclesOfOneServiceNameWithDebugLogging)
{
    // Handles, not ids: Wine reuses the ids of ended processes at once.
    std::vector<UniqueHandle> processes;
    for (int cycle = 1; cycle <= 60; ++cycle) {
        SCOPED_TRACE("cycle " + std::to_string(cycle));
        const std::wstring pid = dir.file(format(L"program-%d.pid", cycle));
        writeSettings(L"write-pid " + pid + L" text working ignore-ctrl sleep 600000");
        const ProcessResult installed = runHostwell({L"install", L"/settings=" + settings, L"/runAsSystem", L"/debug"});
        ASSERT_EQ(installed.exitCode, 0u) << toUtf8(installed.output());
        {
            TestService service(name);
            ASSERT_TRUE(service.start()) << service.startError();
            const SERVICE_STATUS_PROCESS running = service.waitFor(SERVICE_RUNNING);
            ASSERT_EQ(running.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
            processes.emplace_back(OpenProcess(SYNCHRONIZE, FALSE, running.dwProcessId));
            processes.emplace_back(OpenProcess(SYNCHRONIZE, FALSE, readProcessId(pid)));
            ASSERT_TRUE(service.requestStop());
            const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED);
            ASSERT_EQ(stopped.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
            ASSERT_EQ(stopped.dwWin32ExitCode, 0u);
            ASSERT_TRUE(waitForProcessEnd(running.dwProcessId));
        }
        const ProcessResult deleted = runHostwell({L"delete", L"/settings=" + settings});
        ASSERT_EQ(deleted.exitCode, 0u) << toUtf8(deleted.output());
    }
    for (const UniqueHandle& process : processes) {
        ASSERT_TRUE(process);
        EXPECT_EQ(WaitForSingleObject(process.get(), 0), WAIT_OBJECT_0) << GetProcessId(process.get());
    }
    const ProcessResult again = runHostwell({L"deleteByName", L"/service=" + name});
    EXPECT_EQ(again.exitCode, 1u);
    EXPECT_TRUE(again.contains(L"Service does not exist"));
}
