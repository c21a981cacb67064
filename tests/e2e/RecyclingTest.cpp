#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/TextConversion.h"
#include "support/LogText.h"
#include "support/ServiceTestCase.h"
#include "support/TestFiles.h"
#include "support/TestService.h"

// Planned restarts of the program under Wine's service control manager.

namespace {

class Recycling : public ServiceTestCase {
protected:
    // Lines of the log that contain `text`.
    int logCount(const std::wstring& text) const
    {
        const std::wstring all = retainedLog();
        int found = 0;
        for (size_t at = all.find(text); at != std::wstring::npos; at = all.find(text, at + text.size())) {
            ++found;
        }
        return found;
    }

    // Waits until the log holds `text` `times` times; false, with a failure, when it did not within 60 s.
    bool waitForLogCount(const std::wstring& text, int times, const TestService& service) const
    {
        for (int i = 0; i < 3000 && logCount(text) < times; ++i) {
            EXPECT_EQ(service.status().dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING))
                << "the service left RUNNING while its program was recycled";
            if (service.status().dwCurrentState != SERVICE_RUNNING) {
                return false;
            }
            Sleep(20);
        }
        EXPECT_GE(logCount(text), times) << "the log did not get \"" << toUtf8(text) << "\" " << times
                                         << " times within 60 s";
        return logCount(text) >= times;
    }

    // The number that follows "member": in the state file.
    unsigned long stateNumber(const std::wstring& member) const
    {
        const std::wstring state = readUtf8(log + L".state.json");
        const size_t at = state.find(L"\"" + member + L"\": ");
        return at == std::wstring::npos ? 0 : std::stoul(state.substr(at + member.size() + 4));
    }
};

}  // namespace

TEST_F(Recycling, AProgramOverItsMemoryLimitIsRecycledWhileTheServiceRunsWithoutARestartPolicy)
{
    writeSettings(L"commit 200 sleep 600000", L"<recycle memory='64MB'/>");
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    ASSERT_TRUE(service.waitFor(SERVICE_RUNNING).dwCurrentState == SERVICE_RUNNING);
    // Two checks 5 s apart, then the new run.
    ASSERT_TRUE(waitForLogCount(L"committed", 2, service)) << toUtf8(retainedLog());
    const std::vector<std::wstring> recycled = infoMessagesOf(retainedLog(), L"HealthMonitor");
    ASSERT_FALSE(recycled.empty());
    const std::wstring start = L"The program is recycled: memory ";
    const std::wstring end = L"MB over 64MB; it is stopped and started again";
    EXPECT_EQ(recycled[0].compare(0, start.size(), start), 0) << toUtf8(recycled[0]);
    EXPECT_EQ(recycled[0].compare(recycled[0].size() - end.size(), end.size(), end), 0) << toUtf8(recycled[0]);
    EXPECT_GE(stateNumber(L"recycles"), 1u);
    EXPECT_EQ(stateNumber(L"restartsTotal"), 0u) << "a recycle counted as a restart";

    ASSERT_TRUE(service.requestStop());
    const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED);
    EXPECT_EQ(stopped.dwWin32ExitCode, 0u);
    EXPECT_FALSE(logHas(L"Service process exited without service stop request"));
}

TEST_F(Recycling, RunTimeRecyclesAgainWithoutCountingAsARestartAndEachNewRunMustBeReadyAgain)
{
    // Each run prints its marker at once; 5 s leave a loaded machine time to start it.
    writeSettings(L"text up sleep 600000",
                  L"<status-marker timeout='30s'><started>up</started></status-marker><recycle every='5s'/>"
                  L"<restart when='always' delay='100ms' max-restarts='1'/>");
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    ASSERT_TRUE(service.waitFor(SERVICE_RUNNING).dwCurrentState == SERVICE_RUNNING);
    ASSERT_TRUE(waitForLogCount(L"The program is recycled: every 5s; it is stopped and started again", 2, service))
        << toUtf8(retainedLog());
    // Each run printed its marker and the service counted as running again.
    EXPECT_TRUE(waitForLogCount(L"Set status to: running", 3, service)) << toUtf8(retainedLog());

    ASSERT_TRUE(service.requestStop());
    const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED);
    EXPECT_EQ(stopped.dwWin32ExitCode, 0u);
    EXPECT_EQ(stopped.dwServiceSpecificExitCode, 0u);
    EXPECT_FALSE(logHas(L"max-restarts allows no more"));
    EXPECT_FALSE(logHas(L"restart 1 in"));
}

TEST_F(Recycling, AProgramThatIsNeverReadyIsGivenUpAtTheStartLimitThoughItIsRecycled)
{
    writeSettings(L"text booting sleep 600000",
                  L"<status-marker timeout='5s'><started>up</started></status-marker><recycle every='2s'/>");
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED, 60000);
    ASSERT_EQ(stopped.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED))
        << "recycling kept a program that never was ready going\n" << toUtf8(retainedLog());
    EXPECT_EQ(stopped.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_TRUE(logHas(L"The program did not report that it started within 5s")) << toUtf8(retainedLog());
}

TEST_F(Recycling, RunsRecycledForLongerThanResetStartANewSeriesOfRestarts)
{
    const std::wstring go = dir.file(L"go");
    writeSettings(L"wait-file " + go + L" exit 3",
                  L"<recycle every='2s'/><restart when='failure' delay='10s' reset='5s' max-restarts='1'/>");
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    ASSERT_TRUE(service.waitFor(SERVICE_RUNNING).dwCurrentState == SERVICE_RUNNING);
    writeBytes(go, "");
    ASSERT_TRUE(waitForLogCount(L"restart 1 in 10s", 1, service)) << toUtf8(retainedLog());
    // The restart's delay leaves the test time to take the file away.
    DeleteFileW(go.c_str());
    // The next run is recycled until it has run longer than reset, then fails again.
    const int recycledBefore = logCount(L"The program is recycled: every 2s");
    ASSERT_TRUE(waitForLogCount(L"The program is recycled: every 2s", recycledBefore + 3, service))
        << toUtf8(retainedLog());
    writeBytes(go, "");
    EXPECT_TRUE(waitForLogCount(L"restart 1 in 10s", 2, service)) << toUtf8(retainedLog());
    EXPECT_FALSE(logHas(L"max-restarts allows no more"));
}
