#include <gtest/gtest.h>

#include <windows.h>

#include <sstream>
#include <string>
#include <vector>

#include "common/TextConversion.h"
#include "common/UniqueResource.h"
#include "support/LogText.h"
#include "support/ProcessRunner.h"
#include "support/ServiceTestCase.h"
#include "support/TestFiles.h"
#include "support/TestService.h"

// A program that ends by itself, started again by the service under Wine's
// service control manager, and the time a program has to print its marker.

namespace {

// Where Wine prints the Event Log records of running services: the file that
// scripts/test sends their standard error to; empty when there is none.
std::wstring servicesLogPath()
{
    wchar_t unixPath[4096] = {};
    if (GetEnvironmentVariableW(L"WINE_SERVICES_LOG", unixPath, 4096) == 0) {
        return std::wstring();
    }
    std::wstring path = L"Z:" + std::wstring(unixPath);
    for (wchar_t& c : path) {
        c = c == L'/' ? L'\\' : c;
    }
    return path;
}

// The Event Log records of the service `name`, each as its type and message.
// Wine prints every insertion string of a record on a line of its own; the
// message comes two lines after the banner with the service's name.
std::vector<std::string> eventLogMessagesOf(const std::wstring& name)
{
    std::vector<std::string> lines;
    const std::string records = readBytes(servicesLogPath());
    for (size_t begin = 0, end = 0; begin < records.size(); begin = end + 1) {
        end = records.find('\n', begin);
        end = end == std::string::npos ? records.size() : end;
        lines.push_back(records.substr(begin, end - begin));
    }
    const std::string banner = toUtf8(L"eventlog:ReportEventW L\"" + name + L" Corvane Hostwell v");
    std::vector<std::string> messages;
    for (size_t i = 0; i + 2 < lines.size(); ++i) {
        if (lines[i].find(banner) != std::string::npos) {
            const std::string& message = lines[i + 2];
            messages.push_back(message.substr(message.find(':') + 1));  // without the thread id
        }
    }
    return messages;
}

// Every state the service passes through until it has stopped, each once in a row.
std::vector<DWORD> statesUntilStopped(const TestService& service)
{
    std::vector<DWORD> states;
    for (int i = 0; i < 3000 && (states.empty() || states.back() != SERVICE_STOPPED); ++i) {
        const DWORD state = service.status().dwCurrentState;
        if (states.empty() || states.back() != state) {
            states.push_back(state);
        }
        Sleep(10);
    }
    return states;
}

// The time from the first record with the message `first` to the first with
// `second`, by their time stamps ("[2026-12-07 14:03:08,127] ..."); far
// more than a day when either is missing.
long long millisecondsBetween(const std::wstring& logText, const std::wstring& first, const std::wstring& second)
{
    const auto timeOf = [&logText](const std::wstring& message) {
        std::wistringstream lines(logText);
        for (std::wstring line; std::getline(lines, line);) {
            while (!line.empty() && line.back() == L'\r') {
                line.pop_back();
            }
            const bool stamped = line.size() > 25 && line[0] == L'[' && line[24] == L']';
            if (stamped && line.size() >= message.size() &&
                line.compare(line.size() - message.size(), message.size(), message) == 0) {
                const auto number = [&line](size_t at, size_t digits) {
                    return wcstol(line.substr(at, digits).c_str(), nullptr, 10);
                };
                return ((number(12, 2) * 60LL + number(15, 2)) * 60 + number(18, 2)) * 1000 + number(21, 3);
            }
        }
        return -1LL;
    };
    const long long day = 24LL * 3600 * 1000;
    const long long from = timeOf(first);
    const long long to = timeOf(second);
    return from < 0 || to < 0 ? 2 * day : (to - from + day) % day;
}

}  // namespace

using RestartPolicy = ServiceTestCase;
using StartLimit = ServiceTestCase;

TEST_F(RestartPolicy, FailingProgramIsRestartedWithGrowingWaitsWhileRunningUntilMaxRestartsStopsIt)
{
    writeSettings(L"text working exit 23",
                  L"<restart when='failure' delay='100ms' max-delay='300ms' max-restarts='3'/>");
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    std::vector<DWORD> states = statesUntilStopped(service);
    if (!states.empty() && states.front() == SERVICE_START_PENDING) {
        states.erase(states.begin());
    }
    // Never stopping or starting again between the runs.
    EXPECT_EQ(states, (std::vector<DWORD>{SERVICE_RUNNING, SERVICE_STOPPED})) << toUtf8(retainedLog());
    const SERVICE_STATUS_PROCESS stopped = service.status();
    EXPECT_EQ(stopped.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_EQ(stopped.dwServiceSpecificExitCode, 23u);

    const std::vector<std::wstring> restarts = {
        L"The program ended with exit code 23; restart 1 in 100ms",
        L"The program ended with exit code 23; restart 2 in 200ms",
        L"The program ended with exit code 23; restart 3 in 300ms",
    };
    for (const std::wstring& restart : restarts) {
        EXPECT_TRUE(logHas(L"RestartSchedule                   [Warn] " + restart)) << toUtf8(restart);
    }
    EXPECT_FALSE(logHas(L"restart 4"));
    EXPECT_TRUE(logHas(L"The program ended with exit code 23 after 3 restart(s) in a row; max-restarts allows no more"));
    EXPECT_EQ(infoMessagesOf(retainedLog(), L"console"), std::vector<std::wstring>(4, L"working"));
    // Each run left nothing behind: the console host of a program without a console is not one of its processes.
    EXPECT_FALSE(logHas(L"were still running")) << toUtf8(retainedLog());

    if (!servicesLogPath().empty()) {
        const std::vector<std::string> expected = {
            "warn:eventlog:ReportEventW L\"The program ended with exit code 23; restart 1 in 100ms\"",
            "warn:eventlog:ReportEventW L\"The program ended with exit code 23; restart 2 in 200ms\"",
            "warn:eventlog:ReportEventW L\"The program ended with exit code 23; restart 3 in 300ms\"",
            "err:eventlog:ReportEventW L\"The program ended with exit code 23 after 3 restart(s) in a row; "
            "max-restarts allows no more\"",
            "err:eventlog:ReportEventW L\"Service process exited without service stop request\"",
        };
        EXPECT_EQ(eventLogMessagesOf(name), expected);
    }
}

TEST_F(RestartPolicy, StopDuringAWaitEndsItAtOnceAndTheServiceStopsWithoutError)
{
    writeSettings(L"exit 4", L"<restart when='always' delay='1h'/>");
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    waitForLogLine(L"The program ended with exit code 4; restart 1 in 1h");
    EXPECT_EQ(service.status().dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    ASSERT_TRUE(service.requestStop());
    const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED);
    EXPECT_EQ(stopped.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED)) << "the wait did not end on the stop";
    EXPECT_EQ(stopped.dwWin32ExitCode, 0u);
    EXPECT_EQ(stopped.dwServiceSpecificExitCode, 0u);
    EXPECT_FALSE(logHas(L"Service process exited without service stop request"));
}

TEST_F(RestartPolicy, FailureRestartsOnlyAFailedProgramAlwaysRestartsEveryEnd)
{
    const auto runEndingWith0 = [this](const std::wstring& when) {
        writeSettings(L"exit 0", L"<restart when='" + when + L"' delay='100ms' max-restarts='1'/>");
        TestService service(name, hostwellArguments());
        EXPECT_TRUE(service.start()) << service.startError();
        return service.waitFor(SERVICE_STOPPED);
    };
    const SERVICE_STATUS_PROCESS failure = runEndingWith0(L"failure");
    EXPECT_EQ(failure.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(failure.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_EQ(failure.dwServiceSpecificExitCode, 1u);
    EXPECT_TRUE(logHas(L"Service process exited without service stop request"));
    EXPECT_FALSE(logHas(L"restart 1"));

    const SERVICE_STATUS_PROCESS always = runEndingWith0(L"always");
    EXPECT_EQ(always.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(always.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_EQ(always.dwServiceSpecificExitCode, 1u);
    EXPECT_TRUE(logHas(L"The program ended with exit code 0; restart 1 in 100ms"));
    EXPECT_TRUE(logHas(L"The program ended with exit code 0 after 1 restart(s) in a row; max-restarts allows no more"));
}

TEST_F(RestartPolicy, ARestartStartsTheProgramThoughOthersHoldThePipeNamesTheServiceCouldBeGuessedToUse)
{
    const std::wstring pid = dir.file(L"program.pid");
    writeSettings(L"write-pid " + pid + L" ignore-ctrl sleep 600000", L"<restart when='always' delay='100ms'/>");
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    const SERVICE_STATUS_PROCESS running = service.waitFor(SERVICE_RUNNING);
    ASSERT_EQ(running.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    const DWORD first = readProcessId(pid);
    DeleteFileW(pid.c_str());
    // Names made of the service's public process id and a counter, taken first by another program.
    std::vector<UniqueHandle> taken;
    for (int run = 1; run <= 64; ++run) {
        const std::wstring pipe = L"\\\\.\\pipe\\Hostwell-" + std::to_wstring(running.dwProcessId) + L"-" +
                                  std::to_wstring(run);
        taken.emplace_back(CreateNamedPipeW(pipe.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE, 1, 0, 0, 0, nullptr));
    }
    const UniqueHandle program(OpenProcess(PROCESS_TERMINATE, FALSE, first));
    ASSERT_TRUE(program && TerminateProcess(program.get(), 3));
    const DWORD second = readProcessId(pid);
    EXPECT_NE(second, 0u) << toUtf8(retainedLog());
    EXPECT_NE(second, first);
    EXPECT_EQ(service.status().dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_FALSE(logHas(L"Failed to create pipe"));
}

TEST_F(StartLimit, MarkerThatNeverComesStopsTheServiceWith1066AndLeavesNoProcessEvenDuringARestartWait)
{
    const std::wstring pid = dir.file(L"program.pid");
    writeSettings(L"write-pid " + pid + L" text booting ignore-ctrl sleep 600000",
                  L"<status-marker timeout='3s'><started>Server started</started></status-marker>");
    {
        TestService service(name, hostwellArguments());
        ASSERT_TRUE(service.start()) << service.startError();
        const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED);
        EXPECT_EQ(stopped.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
        EXPECT_EQ(stopped.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
        EXPECT_EQ(stopped.dwServiceSpecificExitCode, 42u);
        // The program writes its id at once; on a loaded machine it may be killed before it does.
        EXPECT_FALSE(fileExists(pid) && isProcessAlive(readProcessId(pid))) << "the program was left running";
        EXPECT_TRUE(logHas(L"StartLimit                       [Error] The program did not report that it started "
                           L"within 3s; it is stopped and the service ends"))
            << toUtf8(retainedLog());
        EXPECT_TRUE(logHas(L"Service process will be killed, exit code would be 42"));
    }

    // The limit also runs out while a program that ended waits for its restart;
    // 6 s leave a loaded machine time to start the program and see it end by itself.
    writeSettings(L"exit 5", L"<status-marker timeout='6s'><started>Server started</started></status-marker>"
                             L"<restart when='always' delay='1h'/>");
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED);
    EXPECT_EQ(stopped.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED)) << "the wait did not end with the limit";
    EXPECT_EQ(stopped.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_EQ(stopped.dwServiceSpecificExitCode, 5u) << toUtf8(retainedLog());
}

TEST_F(StartLimit, CoversTheWaitHintAndAMarkerInTimeKeepsTheServiceRunning)
{
    writeSettings(L"ignore-ctrl sleep 600000",
                  L"<status-marker timeout='1h'><started>Server started</started></status-marker>");
    {
        TestService service(name, hostwellArguments());
        ASSERT_TRUE(service.start()) << service.startError();
        SERVICE_STATUS_PROCESS pending = service.status();
        for (int i = 0; i < 1500 && pending.dwWaitHint != 3600000; ++i) {
            Sleep(20);
            pending = service.status();
        }
        EXPECT_EQ(pending.dwCurrentState, static_cast<DWORD>(SERVICE_START_PENDING));
        EXPECT_EQ(pending.dwWaitHint, 3600000u);
        ASSERT_TRUE(service.requestStop());
        EXPECT_EQ(service.waitFor(SERVICE_STOPPED).dwWin32ExitCode, 0u);
    }

    // 6 s leave a loaded machine time to start the program, which prints the marker at once.
    writeSettings(L"text \"Server started\" ignore-ctrl sleep 600000",
                  L"<status-marker timeout='6s'><started>Server started</started></status-marker>");
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    EXPECT_EQ(service.waitFor(SERVICE_RUNNING).dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    Sleep(6500);  // the limit's clock started before the service ran: it is over now
    EXPECT_EQ(service.status().dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_FALSE(logHas(L"did not report that it started"));
    ASSERT_TRUE(service.requestStop());
    EXPECT_EQ(service.waitFor(SERVICE_STOPPED).dwWin32ExitCode, 0u);
}

TEST_F(StartLimit, StopRequestedBeforeTheLimitIsNoFailureThoughTheStopOutlastsIt)
{
    const std::wstring pid = dir.file(L"program.pid");
    const std::wstring stopFlag = dir.file(L"stop.flag");
    // The program ends once the stop command is over, 6 s after the stop request
    // and so after the limit, whose clock started before the program; 6 s also
    // leave a loaded machine time to start the program before the limit.
    writeSettings(L"write-pid " + pid + L" wait-file " + stopFlag,
                  L"<status-marker timeout='6s'><started>Server started</started></status-marker>" +
                      stopCommand(L"sleep 6000 touch " + stopFlag));
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    ASSERT_NE(readProcessId(pid), 0u) << "the program did not start";
    ASSERT_TRUE(service.requestStop());
    const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED);
    // The service's own clock: the limit started after "starting" was set.
    const long long asked = millisecondsBetween(retainedLog(), L"Set status to: starting", L"CallStopService");
    ASSERT_LT(asked, 6000) << "the service had the stop request only after the limit; the case needs it before\n"
                           << toUtf8(retainedLog());

    EXPECT_EQ(stopped.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED)) << "the service did not stop";
    EXPECT_EQ(stopped.dwWin32ExitCode, 0u);
    EXPECT_EQ(stopped.dwServiceSpecificExitCode, 0u);
    EXPECT_TRUE(fileExists(stopFlag)) << "the stop command did not run";
    EXPECT_FALSE(logHas(L"did not report that it started")) << toUtf8(retainedLog());
}
