#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/TextConversion.h"
#include "support/ProcessRunner.h"
#include "support/ServiceTestCase.h"
#include "support/TestFiles.h"
#include "support/TestService.h"

// The commands a service runs around its program: before each start, once it
// runs, after each end.

namespace {

class Hooks : public ServiceTestCase {
protected:
    // A <hooks> element of the test program's commands: pairs of a hook's
    // name and its arguments, with the hook's attributes after the name.
    static std::wstring hooks(const std::vector<std::pair<std::wstring, std::wstring>>& commands)
    {
        std::wstring text = L"<hooks>";
        for (const auto& command : commands) {
            const std::wstring element = command.first.substr(0, command.first.find(L' '));
            text += L"<" + command.first + L"><program>" + helperPath(L"hwtestprog.exe") + L"</program><arguments>" +
                    command.second + L"</arguments></" + element + L">";
        }
        return text + L"</hooks>";
    }

    // Where each text first is in the log, in the order given; npos for one that is not there.
    std::vector<size_t> positionsInLog(const std::vector<std::wstring>& texts) const
    {
        const std::wstring text = retainedLog();
        std::vector<size_t> positions;
        for (const std::wstring& wanted : texts) {
            positions.push_back(text.find(wanted));
        }
        return positions;
    }

    static int count(const std::wstring& text, const std::wstring& wanted)
    {
        int found = 0;
        for (size_t at = text.find(wanted); at != std::wstring::npos; at = text.find(wanted, at + 1)) {
            ++found;
        }
        return found;
    }
};

std::wstring record(const std::wstring& logger, const std::wstring& message)
{
    return logger + std::wstring(34 - logger.size(), L' ') + L"[Info] " + message + L"\r\n";
}

}  // namespace

TEST_F(Hooks, RunAroundTheProgramInOrderWithItsProcessIdOnceItRunsAndItsExitCodeAfterItEnded)
{
    const std::wstring flag = dir.file(L"prepared.flag");
    const std::wstring started = dir.file(L"post-start.flag");
    const std::wstring done = dir.file(L"done.flag");
    const std::wstring pid = dir.file(L"program.pid");
    // The program looks for the post-start's file a while before its marker:
    // a post-start that ran before the marker would have made it.
    writeSettings(L"write-pid " + pid + L" exists " + flag + L" sleep 2000 exists " + started +
                      L" text ready wait-file " + done + L" exit 5",
                  L"<status-marker><started>ready</started></status-marker>" +
                      hooks({{L"pre-start", L"touch " + flag + L" text prepared"},
                             {L"post-start timeout='2m'", L"touch " + started + L" env HOSTWELL_PROGRAM_PID touch " + done},
                             {L"post-stop", L"env HOSTWELL_EXIT_CODE"}}));
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED);
    ASSERT_EQ(stopped.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED)) << "the program did not end";
    EXPECT_EQ(stopped.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_EQ(stopped.dwServiceSpecificExitCode, 5u);

    const std::vector<size_t> positions = positionsInLog({
        record(L"pre-start", L"prepared"),
        record(L"console", flag + L" exists"),
        record(L"console", started + L" is missing"),
        record(L"console", L"ready"),
        record(L"post-start", L"HOSTWELL_PROGRAM_PID=" + std::to_wstring(readProcessId(pid))),
        L"Process exited with code: 5",
        record(L"post-stop", L"HOSTWELL_EXIT_CODE=5"),
    });
    for (size_t i = 0; i < positions.size(); ++i) {
        ASSERT_NE(positions[i], std::wstring::npos) << "line " << i << " is not in the log:\n" << toUtf8(retainedLog());
        if (i > 0) {
            EXPECT_LT(positions[i - 1], positions[i]) << "line " << i << " is out of order:\n" << toUtf8(retainedLog());
        }
    }
    EXPECT_TRUE(logHas(L"The post-stop command " + helperPath(L"hwtestprog.exe") + L" ended with exit code 0"));
}

TEST_F(Hooks, AFailingPreStartKeepsTheProgramFromStartingAsAFailedStartTheRestartPolicyDecidesOn)
{
    const std::wstring ran = dir.file(L"program.ran");
    writeSettings(L"touch " + ran, L"<restart when='failure' delay='100ms' max-restarts='1'/>" +
                                       hooks({{L"pre-start", L"text checking exit 3"},
                                              {L"post-stop", L"text cleaning up"}}));
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED);
    ASSERT_EQ(stopped.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED)) << "the service did not give up";
    EXPECT_EQ(stopped.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_EQ(stopped.dwServiceSpecificExitCode, 3u);

    const std::wstring text = retainedLog();
    // Once at the start, once more at the one restart allowed.
    EXPECT_EQ(count(text, record(L"pre-start", L"checking")), 2) << toUtf8(text);
    EXPECT_EQ(count(text, L"The pre-start command " + helperPath(L"hwtestprog.exe") + L" ended with exit code 3"), 2);
    EXPECT_FALSE(fileExists(ran)) << "the program was started";
    EXPECT_EQ(count(text, record(L"post-stop", L"cleaning up")), 0) << "post-stop ran without a program that ended";
}

TEST_F(Hooks, AStopEndsPreStartAndPostStartAtOnceAndWaitsForPostStopWhileATimeoutEndsPreStartAsFailed)
{
    const std::wstring hookPid = dir.file(L"hook.pid");
    const std::wstring ran = dir.file(L"program.ran");
    writeSettings(L"touch " + ran, hooks({{L"pre-start timeout='10m'", L"write-pid " + hookPid + L" sleep 600000"}}));
    {
        TestService service(name, hostwellArguments());
        ASSERT_TRUE(service.start()) << service.startError();
        const DWORD hook = readProcessId(hookPid);
        ASSERT_TRUE(service.requestStop());
        const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED);
        ASSERT_EQ(stopped.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED)) << "the stop waited for pre-start";
        EXPECT_EQ(stopped.dwWin32ExitCode, 0u);
        EXPECT_TRUE(waitForProcessEnd(hook)) << "pre-start still runs";
        EXPECT_FALSE(fileExists(ran)) << "the program was started after the stop";
    }

    // Stopped while the program and post-start run: post-start ends at once,
    // and the stop is over only once post-stop is.
    const std::wstring cleaned = dir.file(L"cleaned.flag");
    const std::wstring pid = dir.file(L"program.pid");
    const std::wstring postStartPid = dir.file(L"post-start.pid");
    writeSettings(L"write-pid " + pid + L" ignore-ctrl sleep 600000",
                  hooks({{L"post-start timeout='10m'", L"write-pid " + postStartPid + L" sleep 600000"},
                         {L"post-stop", L"sleep 1000 touch " + cleaned}}));
    {
        TestService service(name, hostwellArguments());
        ASSERT_TRUE(service.start()) << service.startError();
        readProcessId(pid);
        const DWORD postStart = readProcessId(postStartPid);
        ASSERT_TRUE(service.requestStop());
        const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED);
        ASSERT_EQ(stopped.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED)) << "the stop waited for post-start";
        EXPECT_EQ(stopped.dwWin32ExitCode, 0u);
        EXPECT_TRUE(waitForProcessEnd(postStart)) << "post-start still runs";
        EXPECT_TRUE(fileExists(cleaned)) << "the service stopped before its post-stop command ended";
    }

    writeSettings(L"touch " + ran, hooks({{L"pre-start timeout='1s'", L"sleep 600000"}}));
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED);
    ASSERT_EQ(stopped.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED)) << "pre-start was not ended at its timeout";
    EXPECT_EQ(stopped.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_EQ(stopped.dwServiceSpecificExitCode, 42u);
    EXPECT_TRUE(logHas(L"The pre-start command " + helperPath(L"hwtestprog.exe") +
                       L" did not end within 1s; it was terminated with every process it started"))
        << toUtf8(retainedLog());
    EXPECT_FALSE(fileExists(ran)) << "the program was started";
}
