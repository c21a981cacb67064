#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/TextConversion.h"
#include "common/UniqueResource.h"
#include "support/ProcessRunner.h"
#include "support/ServiceTestCase.h"
#include "support/TestFiles.h"
#include "support/TestService.h"

// The service mode under Wine's real service control manager.

using ServiceRun = ServiceTestCase;

TEST_F(ServiceRun, WithoutMarkerRunsAtOnceAndAStopKillsTheProgramWith42)
{
    const std::wstring pid = dir.file(L"program.pid");
    writeSettings(L"write-pid " + pid + L" text working ignore-ctrl sleep 600000");
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    EXPECT_EQ(service.waitFor(SERVICE_RUNNING).dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    const DWORD program = readProcessId(pid);
    EXPECT_TRUE(isProcessAlive(program));

    ASSERT_TRUE(service.requestStop());
    const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED);
    EXPECT_EQ(stopped.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(stopped.dwWin32ExitCode, 0u);
    EXPECT_EQ(stopped.dwServiceSpecificExitCode, 0u);
    EXPECT_FALSE(isProcessAlive(program));
    EXPECT_TRUE(logHas(L"console                           [Info] working"));
    EXPECT_TRUE(logHas(L"ServiceEventHandlerCollection    [Debug] Processing service event 1 with SERVICE_CONTROL_STOP"));
    EXPECT_TRUE(logHas(L"Service process will be killed, exit code would be 42"));
    EXPECT_TRUE(logHas(L"Process exited with code: 42"));
    EXPECT_TRUE(logHas(L"ServiceStatus::Thread            [Debug] Call SetServiceStatus called for: stopped"));
    EXPECT_FALSE(logHas(L"Service process exited without service stop request"));
}

TEST_F(ServiceRun, WithMarkerStaysStartingUntilTheProgramPrintsIt)
{
    const std::wstring go = dir.file(L"go");
    writeSettings(L"text booting wait-file " + go + L" text \"ready: Server started\" ignore-ctrl sleep 600000",
                  L"<status-marker timeout='1h'><started>Server started</started></status-marker>");
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    // Once the settings are read the reports say how long the start may take.
    SERVICE_STATUS_PROCESS pending = service.status();
    for (int i = 0; i < 1500 && pending.dwWaitHint != 3600000u; ++i) {
        Sleep(20);
        pending = service.status();
    }
    EXPECT_EQ(pending.dwCurrentState, static_cast<DWORD>(SERVICE_START_PENDING));
    EXPECT_EQ(pending.dwWaitHint, 3600000u) << "at checkpoint " << pending.dwCheckPoint;
    // Rising while the program boots and its supervision goes on.
    const DWORD checkPoint = pending.dwCheckPoint;
    for (int i = 0; i < 1500 && pending.dwCheckPoint <= checkPoint; ++i) {
        Sleep(20);
        pending = service.status();
    }
    EXPECT_EQ(pending.dwCurrentState, static_cast<DWORD>(SERVICE_START_PENDING));
    EXPECT_GT(pending.dwCheckPoint, checkPoint);
    writeBytes(go, "x");
    // Settled states carry neither a checkpoint nor a wait hint.
    const SERVICE_STATUS_PROCESS running = service.waitFor(SERVICE_RUNNING);
    EXPECT_EQ(running.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(running.dwCheckPoint, 0u);
    EXPECT_EQ(running.dwWaitHint, 0u);
    service.requestStop();
    const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED);
    EXPECT_EQ(stopped.dwWin32ExitCode, 0u);
    EXPECT_EQ(stopped.dwCheckPoint, 0u);
    EXPECT_EQ(stopped.dwWaitHint, 0u);
}

TEST_F(ServiceRun, StopCommandLetsTheProgramEndByItself)
{
    const std::wstring stopFile = dir.file(L"stop.flag");
    writeSettings(L"text working wait-file " + stopFile + L" text \"shutting down\" exit 0",
                  stopCommand(L"text \"asked to stop\" touch " + stopFile));
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    service.waitFor(SERVICE_RUNNING);
    // A stop that comes before the program runs keeps it from starting: nothing to stop.
    waitForLogLine(L"console                           [Info] working");
    service.requestStop();
    const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED);
    EXPECT_EQ(stopped.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(stopped.dwWin32ExitCode, 0u);
    EXPECT_TRUE(logHas(L"stop_console                      [Info] asked to stop"));
    EXPECT_TRUE(logHas(L"console                           [Info] shutting down"));
    EXPECT_FALSE(logHas(L"Service process will be killed"));
}

TEST_F(ServiceRun, ProgramEndingByItselfStopsTheServiceWithItsExitCode)
{
    writeSettings(L"text working sleep 500 exit 7");
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED);
    EXPECT_EQ(stopped.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(stopped.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_EQ(stopped.dwServiceSpecificExitCode, 7u);
    EXPECT_TRUE(logHas(L"Service process exited without service stop request"));
}

TEST_F(ServiceRun, ProgramCrashingAtOnceStopsTheServiceAsAFailure)
{
    writeSettings(L"crash");
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED);
    EXPECT_EQ(stopped.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_NE(stopped.dwServiceSpecificExitCode, 0u);
}

TEST_F(ServiceRun, TwoStopRequestsAndAHangingStopCommandStillEndInStopped)
{
    const std::wstring stopPid = dir.file(L"stop.pid");
    // Time enough for the stop command to say who it is.
    writeSettings(L"text working ignore-ctrl sleep 600000",
                  stopCommand(L"write-pid " + stopPid + L" sleep 600000", L"0.05"));
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    service.waitFor(SERVICE_RUNNING);
    waitForLogLine(L"console                           [Info] working");
    EXPECT_TRUE(service.requestStop());
    service.requestStop();
    const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED);
    EXPECT_EQ(stopped.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED)) << toUtf8(retainedLog());
    EXPECT_EQ(stopped.dwWin32ExitCode, 0u);
    EXPECT_FALSE(isProcessAlive(readProcessId(stopPid)));
    EXPECT_TRUE(logHas(L"Failed to wait for process to exit..."));
}

TEST_F(ServiceRun, AStopDuringTheStartKeepsTheProgramAndItsStopCommandFromRunning)
{
    // A settings file padded to take a moment to read: the stop comes while it is read.
    const std::wstring pid = dir.file(L"program.pid");
    const std::wstring stopAsked = dir.file(L"asked");
    writeUtf8(settings, L"<hostwell><name>" + name + L"</name><description>d</description>"
                        L"<service-logging level='debug' file='logs\\service.log'/><execution><program>" +
                            helperPath(L"hwtestprog.exe") + L"</program><arguments>write-pid " + pid +
                            L" ignore-ctrl sleep 600000</arguments>" + stopCommand(L"touch " + stopAsked, L"0.1") +
                            L"</execution><!--" + std::wstring(20 * 1024 * 1024, L'p') + L"--></hostwell>");
    const std::wstring commandLog = dir.file(L"hostwell.log");
    TestService service(name, hostwellArguments() + L" \"/logfile=" + commandLog + L"\" /debug ");
    ASSERT_TRUE(service.start()) << service.startError();
    // Taken once the service has said that it accepts a stop, its first report.
    bool asked = false;
    for (int i = 0; i < 1500 && !(asked = service.requestStop()); ++i) {
        Sleep(20);
    }
    ASSERT_TRUE(asked) << "the service took no stop request within 30 s";
    const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED, 60000);
    EXPECT_EQ(stopped.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(stopped.dwWin32ExitCode, 0u);
    // The settings are logged whole: the log of the command line rolls over.
    const std::wstring logged = readUtf8(commandLog + L".2") + readUtf8(commandLog + L".1") + readUtf8(commandLog) +
                                retainedLog();
    const size_t stop = logged.find(L"[Info] CallStopService");
    const size_t start = logged.find(L"Starting process:");
    ASSERT_NE(stop, std::wstring::npos) << toUtf8(logged.substr(0, 4000));
    if (start != std::wstring::npos && start < stop) {
        GTEST_SKIP() << "the stop came only after the program had started";
    }
    EXPECT_FALSE(fileExists(pid)) << "the program was started after the stop request";
    EXPECT_FALSE(fileExists(stopAsked)) << "the stop command ran";
}

TEST_F(ServiceRun, MissingSettingsFileFailsTheStartAndLeavesNothingRunning)
{
    writeSettings(L"sleep 600000");
    const std::wstring commandLog = dir.file(L"hostwell.log");
    TestService service(name, hostwellArguments() + L" \"/logfile=" + commandLog + L"\"");
    DeleteFileW(settings.c_str());
    // Started, then failed: the service answers the control manager before it reads its settings.
    ASSERT_TRUE(service.start()) << service.startError();
    const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED);
    EXPECT_EQ(stopped.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(stopped.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_EQ(stopped.dwServiceSpecificExitCode, 1u);
    EXPECT_NE(readUtf8(commandLog).find(L"[Error] Failed to load service task settings. Service will exit"),
              std::wstring::npos);
}

TEST_F(ServiceRun, ErrorsOfTheRunningServiceReachTheEventLog)
{
    wchar_t unixPath[4096] = {};
    if (GetEnvironmentVariableW(L"WINE_SERVICES_LOG", unixPath, 4096) == 0) {
        GTEST_SKIP() << "WINE_SERVICES_LOG is set by scripts/test";
    }
    std::wstring servicesLog = L"Z:" + std::wstring(unixPath);
    for (wchar_t& c : servicesLog) {
        c = c == L'/' ? L'\\' : c;
    }
    writeBytes(dir.file(L"not-a-program.exe"), "text");
    // The records go under the name the service runs as, whatever the file says.
    writeUtf8(settings, L"<hostwell><name>Planted" + name + L"</name><description>d</description>"
                        L"<service-logging level='warn' file='logs\\service.log'/>"
                        L"<execution><program>" + dir.file(L"not-a-program.exe") + L"</program></execution></hostwell>");
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    EXPECT_EQ(service.waitFor(SERVICE_STOPPED).dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
    Sleep(500);
    const std::string records = readBytes(servicesLog);
    EXPECT_NE(records.find(toUtf8(L"err:eventlog:ReportEventW L\"" + name + L" Corvane Hostwell v1.1.730.777\"")),
              std::string::npos);
    EXPECT_NE(records.find("err:eventlog:ReportEventW L\"Failed to start process: 1\""), std::string::npos);
    EXPECT_EQ(records.find(toUtf8(L"Planted" + name)), std::string::npos);
    // Warnings go to the log file only.
    EXPECT_TRUE(logHas(L"Failed to start process: 1"));
}

TEST(ServiceMode, FromAConsoleFailsToRegister)
{
    TemporaryDirectory dir;
    writeUtf8(dir.file(L"s.xml"), L"<hostwell><name>X</name><description>d</description><execution><program>"
                                  L"C:\\windows\\system32\\cmd.exe</program></execution></hostwell>");
    const ProcessResult result = runHostwell({L"hostwell", L"/settings=" + dir.file(L"s.xml")});
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_TRUE(result.hasLine(L"Failed to register service"));

    const ProcessResult mocked = runHostwell({L"hostwell", L"/settings=" + dir.file(L"s.xml"), L"/debugservice"});
    EXPECT_EQ(mocked.exitCode, 0u);
    EXPECT_TRUE(mocked.hasLine(L"Service functions are mocked"));
    bool mainRan = false;
    for (const std::wstring& line : mocked.lines()) {
        mainRan = mainRan || line.rfind(L"Failed to RegisterServiceCtrlHandlerEx. ", 0) == 0;
    }
    EXPECT_TRUE(mainRan) << toUtf8(mocked.output());
}

TEST(ServiceRoundTrip, InstallStartStopDeleteTheBundledExample)
{
    const std::wstring settings = binDirectory() + L"\\example-service.xml";
    const std::wstring name = L"HostwellExample";
    const ProcessResult installed = runHostwell({L"install", L"/settings=" + settings, L"/runAsSystem"});
    ASSERT_EQ(installed.exitCode, 0u) << toUtf8(installed.output());
    {
        TestService service(name);
        ASSERT_TRUE(service.start()) << service.startError();
        EXPECT_EQ(service.waitFor(SERVICE_RUNNING).dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
        ASSERT_TRUE(service.requestStop());
        const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED);
        EXPECT_EQ(stopped.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
        EXPECT_EQ(stopped.dwWin32ExitCode, 0u);
        // The example server was asked to stop by its stop command and ended by itself.
        const std::wstring log = readUtf8(binDirectory() + L"\\logs\\example-service.log");
        EXPECT_NE(log.find(L"stop_console                      [Info] Asked the example server to stop"),
                  std::wstring::npos);
        EXPECT_NE(log.find(L"Stop requested, shutting down"), std::wstring::npos);
        service.waitFor(SERVICE_STOPPED);
        waitForProcessEnd(stopped.dwProcessId);
    }
    const ProcessResult deleted = runHostwell({L"delete", L"/settings=" + settings});
    EXPECT_EQ(deleted.exitCode, 0u);
    EXPECT_TRUE(deleted.hasLine(L"Service 'HostwellExample' will be removed"));
}

TEST_F(ServiceRun, KilledWrapperTakesTheProgramAndWhatItStartedAlong)
{
    const std::wstring pid = dir.file(L"program.pid");
    const std::wstring grandchildPid = dir.file(L"grandchild.pid");
    writeSettings(L"write-pid " + pid + L" grandchild " + grandchildPid + L" ignore-ctrl sleep 600000");
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    const SERVICE_STATUS_PROCESS running = service.waitFor(SERVICE_RUNNING);
    waitForFile(grandchildPid);
    const DWORD program = readProcessId(pid);
    const DWORD grandchild = readProcessId(grandchildPid);

    UniqueHandle wrapper(OpenProcess(PROCESS_TERMINATE, FALSE, running.dwProcessId));
    ASSERT_TRUE(TerminateProcess(wrapper.get(), 9));
    EXPECT_TRUE(waitForProcessEnd(program, 10000)) << "the program outlived the killed wrapper";
    EXPECT_TRUE(waitForProcessEnd(grandchild, 10000)) << "the grandchild outlived the killed wrapper";
}

TEST_F(ServiceRun, ConsoleEventStopsAProgramGentlyAndTheTimeoutEndsOneThatIgnoresIt)
{
    // Stops the program once it has written its line, after it has chosen what
    // to do with the event: one that has not set up its console yet cannot be sent it.
    // The stop timeout is in minutes: 15 s for one that ends on the event, however
    // long a loaded machine takes to deliver it, 3 s for one that ignores it.
    const auto stopAfter = [this](const std::wstring& line, const std::wstring& onTheEvent, const wchar_t* timeout) {
        writeSettings(onTheEvent + L" text " + line + L" sleep 600000",
                      L"<termination timeout=\"" + std::wstring(timeout) + L"\" console-event=\"ctrl-c\"/>");
        TestService service(name, hostwellArguments());
        EXPECT_TRUE(service.start()) << service.startError();
        service.waitFor(SERVICE_RUNNING);
        waitForLogLine(L"console                           [Info] " + line);
        EXPECT_TRUE(service.requestStop());
        return service.waitFor(SERVICE_STOPPED);
    };
    const SERVICE_STATUS_PROCESS gentle = stopAfter(L"working", L"exit-on-ctrl", L"0.25");
    EXPECT_EQ(gentle.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(gentle.dwWin32ExitCode, 0u);
    EXPECT_TRUE(logHas(L"Sending Ctrl+C to the process"));
    EXPECT_TRUE(logHas(L"console                           [Info] console event 0"));
    EXPECT_TRUE(logHas(L"Process exited with code: 0"));
    EXPECT_FALSE(logHas(L"Service process will be killed"));

    const SERVICE_STATUS_PROCESS killed = stopAfter(L"still-working", L"ignore-ctrl", L"0.05");
    EXPECT_EQ(killed.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_TRUE(logHas(L"Waiting for process to exit..."));
    EXPECT_TRUE(logHas(L"Service process will be killed, exit code would be 42"));
    EXPECT_TRUE(logHas(L"Process exited with code: 42"));
}

TEST_F(ServiceRun, StopCompletesWhileProcessesTheProgramStartedHoldItsOutput)
{
    const std::wstring stopFile = dir.file(L"stop.flag");
    const std::wstring grandchild = dir.file(L"grandchild.pid");
    writeSettings(L"grandchild " + grandchild + L" wait-file " + stopFile + L" text \"shutting down\" exit 0",
                  stopCommand(L"touch " + stopFile));
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    service.waitFor(SERVICE_RUNNING);
    const DWORD holder = readProcessId(grandchild);
    ASSERT_TRUE(service.requestStop());
    const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED);
    EXPECT_EQ(stopped.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(stopped.dwWin32ExitCode, 0u);
    EXPECT_TRUE(logHas(L"console                           [Info] shutting down"));
    EXPECT_TRUE(waitForProcessEnd(holder, 10000)) << "the process holding the output outlived the service";
}

TEST_F(ServiceRun, StopCommandThatCannotStartLetsTheProgramBeKilledAtOnce)
{
    const std::wstring broken = dir.file(L"stop.exe");
    writeBytes(broken, "not a program");
    writeSettings(L"text working ignore-ctrl sleep 600000",
                  L"<termination timeout='2'><execution><program>" + broken + L"</program></execution></termination>");
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    service.waitFor(SERVICE_RUNNING);
    waitForLogLine(L"console                           [Info] working");
    ASSERT_TRUE(service.requestStop());
    // Stopped within waitFor's 30 s, not after the stop timeout of 2 minutes.
    const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED);
    EXPECT_EQ(stopped.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED)) << toUtf8(retainedLog());
    EXPECT_TRUE(logHas(L"Failed to start the stop command " + broken));
    EXPECT_TRUE(logHas(L"Process exited with code: 42"));
}
