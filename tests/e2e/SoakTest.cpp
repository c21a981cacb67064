#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/Format.h"
#include "common/TextConversion.h"
#include "common/UniqueResource.h"
#include "support/ProcessRunner.h"
#include "support/ServiceTestCase.h"
#include "support/TestFiles.h"
#include "support/TestService.h"

namespace {

class Soak : public ServiceTestCase {
protected:
    // True once the program wrote `pidFile`; false when the service stopped first.
    static bool programStarted(const std::wstring& pidFile, const TestService& service)
    {
        for (int i = 0; i < 3000; ++i) {
            if (fileExists(pidFile)) {
                return true;
            }
            if (service.status().dwCurrentState == SERVICE_STOPPED) {
                return fileExists(pidFile);
            }
            Sleep(20);
        }
        ADD_FAILURE() << "the program wrote no " << toUtf8(pidFile) << " within 60 s, and the service runs";
        return false;
    }

    // True when the service could not start the program whose id goes to
    // `pidFile` because Wine failed to create the process (1359).
    bool wineFailedToCreate(const std::wstring& pidFile) const
    {
        const std::wstring text = retainedLog();
        const size_t at = text.rfind(pidFile);
        return at != std::wstring::npos &&
               text.find(L"Failed to CreateProcessAsUser: Internal error. (1359)", at) != std::wstring::npos;
    }
};

}  // namespace

TEST_F(Soak, SixtyInstallStartStopDeleteCyclesOfOneServiceNameWithDebugLogging)
{
    // Handles, not ids: Wine reuses the ids of ended processes at once.
    std::vector<UniqueHandle> processes;
    int wineFailures = 0;
    for (int cycle = 1; cycle <= 60; ++cycle) {
        SCOPED_TRACE("cycle " + std::to_string(cycle));
        bool again = false;
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
            if (programStarted(pid, service)) {
                processes.emplace_back(OpenProcess(SYNCHRONIZE, FALSE, readProcessId(pid)));
                ASSERT_TRUE(service.requestStop());
                const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED);
                ASSERT_EQ(stopped.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
                ASSERT_EQ(stopped.dwWin32ExitCode, 0u);
            } else {
                // On a loaded machine Wine now and then fails to create a
                // process; the service rightly ends, and the cycle runs again.
                ASSERT_TRUE(wineFailedToCreate(pid)) << "the service stopped without its program\n"
                                                     << toUtf8(retainedLog());
                ASSERT_LT(++wineFailures, 3) << "Wine failed to create the program three times";
                again = true;
            }
            ASSERT_TRUE(waitForProcessEnd(running.dwProcessId));
        }
        const ProcessResult deleted = runHostwell({L"delete", L"/settings=" + settings});
        ASSERT_EQ(deleted.exitCode, 0u) << toUtf8(deleted.output());
        cycle -= again ? 1 : 0;
    }
    for (const UniqueHandle& process : processes) {
        ASSERT_TRUE(process);
        EXPECT_EQ(WaitForSingleObject(process.get(), 0), WAIT_OBJECT_0) << GetProcessId(process.get());
    }
    const ProcessResult again = runHostwell({L"deleteByName", L"/service=" + name});
    EXPECT_EQ(again.exitCode, 1u);
    EXPECT_TRUE(again.contains(L"Service does not exist"));
}
