#include <gtest/gtest.h>

#include <windows.h>

#include <new>
#include <string>
#include <thread>
#include <vector>

#include "logging/CriticalSection.h"
#include "logging/LogAppender.h"
#include "logging/LogLevel.h"
#include "logging/Logger.h"
#include "service/ServiceEventContext.h"
#include "service/ServiceEventHandler.h"
#include "service/ServiceEventHandlerCollection.h"
#include "service/ServiceExecuteProcessTask.h"
#include "service/ServiceMain.h"
#include "service/ServiceStatus.h"
#include "service/StatusValue.h"
#include "support/BoundedCall.h"
#include "support/LoggingCapture.h"
#include "support/ProcessRunner.h"
#include "support/TestFiles.h"

namespace {

// Far more than any service run here takes, even on a loaded machine.
const DWORD RUN_BOUND = 60;

CriticalSection reportsLock;
std::vector<SERVICE_STATUS> reports;

BOOL WINAPI recordStatus(SERVICE_STATUS_HANDLE, LPSERVICE_STATUS status)
{
    ScopedLock guard(reportsLock);
    reports.push_back(*status);
    return TRUE;
}

std::vector<SERVICE_STATUS> recordedReports()
{
    ScopedLock guard(reportsLock);
    return reports;
}

class CountingTask : public ServiceTask {
public:
    int stops = 0;
    void CallStartService() override {}
    void CallStopService() override { ++stops; }
};

// The status values the service went through, from the log.
std::vector<std::wstring> statusSequence(const LoggingCapture& capture)
{
    std::vector<std::wstring> sequence;
    const std::wstring prefix = L"Set status to: ";
    for (const std::wstring& message : capture.messages()) {
        if (message.rfind(prefix, 0) == 0) {
            sequence.push_back(message.substr(prefix.size()));
        }
    }
    return sequence;
}

class ServiceControlEvents : public ::testing::Test {
protected:
    ServiceEventINRERROGATEHandler interrogate;
    ServiceEventSTOPHandler stop;
    ServiceEventPreShutdownHandler preShutdown;
    ServiceEventShutdownHandler shutdown;
    ServiceEventPowerHandler power;
    ServiceEventSessionHandler session;
    ServiceEventHandler* handlers[7] = {&interrogate, &stop, &preShutdown, &shutdown, &power, &session, nullptr};
    ServiceEventContextEx context;
    ServiceEventHandlerCollection collection{&context, handlers};
    CountingTask task;
};

}  // namespace

TEST_F(ServiceControlEvents, AcceptsStopShutdownPreShutdownPowerAndSession)
{
    EXPECT_EQ(collection.acceptedControls(), 0x1C5u);
}

TEST_F(ServiceControlEvents, RefusesEveryControlUntilTheContextIsComplete)
{
    LoggingCapture capture(LEVEL_DEBUG);
    EXPECT_EQ(controlHandlerEx(SERVICE_CONTROL_STOP, 0, nullptr, &collection), 120u);
    EXPECT_EQ(task.stops, 0);
    EXPECT_TRUE(capture.has(L"Context is not fully initialized. Event handlers will not be called"));
}

TEST_F(ServiceControlEvents, DispatchesByControlCode)
{
    ServiceStatus status(nullptr, 0x1C5, recordStatus);
    context.fill(&status, &task);
    LoggingCapture capture(LEVEL_DEBUG);
    EXPECT_EQ(controlHandlerEx(SERVICE_CONTROL_STOP, 0, nullptr, &collection), 0u);
    EXPECT_EQ(controlHandlerEx(SERVICE_CONTROL_SHUTDOWN, 0, nullptr, &collection), 0u);
    EXPECT_EQ(controlHandlerEx(SERVICE_CONTROL_PRESHUTDOWN, 0, nullptr, &collection), 0u);
    EXPECT_EQ(task.stops, 3);
    EXPECT_EQ(controlHandlerEx(SERVICE_CONTROL_INTERROGATE, 0, nullptr, &collection), 0u);
    EXPECT_EQ(controlHandlerEx(SERVICE_CONTROL_POWEREVENT, 0, nullptr, &collection), 0u);
    EXPECT_EQ(controlHandlerEx(SERVICE_CONTROL_SESSIONCHANGE, 0, nullptr, &collection), 0u);
    EXPECT_EQ(controlHandlerEx(SERVICE_CONTROL_PAUSE, 0, nullptr, &collection), 120u);
    EXPECT_EQ(task.stops, 3);
    const std::vector<std::wstring> expected = {
        L"Processing service event 1 with SERVICE_CONTROL_STOP",
        L"Processing service event 5 with SERVICE_CONTROL_SHUTDOWN",
        L"System shutdown notification received",
        L"Processing service event 15 with SERVICE_CONTROL_PRESHUTDOWN",
        L"System pre-shutdown notification received",
        L"Processing service event 4 with SERVICE_CONTROL_INTERROGATE",
        L"Processing service event 13 with 0x0000000D",
        L"Power event recieved",
        L"Processing service event 14 with 0x0000000E",
        L"Session change event recieved",
        L"Unknown service event: 2",
    };
    EXPECT_EQ(capture.messages(), expected);
    status.setStatus(StatusValue::STOPPED);
}

namespace {

class ServiceTaskRun : public ::testing::Test {
protected:
    TemporaryDirectory dir;
    std::wstring settingsFile = dir.file(L"app.xml");
    ServiceEventContextEx context;

    void SetUp() override
    {
        ScopedLock guard(reportsLock);
        reports.clear();
    }

    void writeSettings(const std::wstring& arguments, const std::wstring& extra = L"")
    {
        writeUtf8(settingsFile, L"<hostwell><name>Svc</name><description>d</description><execution><program>" +
                                    helperPath(L"hwtestprog.exe") + L"</program><arguments>" + arguments +
                                    L"</arguments>" + extra + L"</execution></hostwell>");
    }

    // Runs the service as the service control manager would, optionally
    // sends stop controls once the file appears (or the service runs), and
    // returns when the service has reported "stopped".
    void runService(const std::wstring& stopWhenFileAppears = L"", const LoggingCapture* stopWhenRunning = nullptr)
    {
        ServiceMain service(ServiceLaunch{settingsFile, L"", L"", false});
        ServiceStatus status(nullptr, 0x1C5, recordStatus);
        std::thread controls([&] {
            if (stopWhenRunning != nullptr) {
                for (int i = 0; i < 500 && !stopWhenRunning->has(L"Set status to: running"); ++i) {
                    Sleep(20);
                }
                controlHandlerEx(SERVICE_CONTROL_STOP, 0, nullptr, service.controls());
            }
            if (!stopWhenFileAppears.empty()) {
                for (int i = 0; i < 500 && !fileExists(stopWhenFileAppears); ++i) {
                    Sleep(20);
                }
                controlHandlerEx(SERVICE_CONTROL_STOP, 0, nullptr, service.controls());
                controlHandlerEx(SERVICE_CONTROL_STOP, 0, nullptr, service.controls());
            }
        });
        callWithin(RUN_BOUND, "ServiceMain::serve()", [&] { service.serve(status, L"Svc"); });
        controls.join();
    }
};

}  // namespace

TEST_F(ServiceTaskRun, ProgramEndingByItselfStopsTheServiceAsAFailure)
{
    writeSettings(L"text working exit 5");
    LoggingCapture capture(LEVEL_DEBUG);
    runService();
    EXPECT_EQ(statusSequence(capture),
              (std::vector<std::wstring>{L"starting", L"starting", L"running", L"stopped"}));
    EXPECT_TRUE(capture.has(L"Service process exited without service stop request"));
    const SERVICE_STATUS last = recordedReports().back();
    EXPECT_EQ(last.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(last.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_EQ(last.dwServiceSpecificExitCode, 5u);
}

TEST_F(ServiceTaskRun, ProgramEndingWithZeroStillCountsAsAFailure)
{
    writeSettings(L"exit 0");
    runService();
    const SERVICE_STATUS last = recordedReports().back();
    EXPECT_EQ(last.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_EQ(last.dwServiceSpecificExitCode, 1u);
}

TEST_F(ServiceTaskRun, RequestedStopEndsTheProgramAndReportsSuccess)
{
    const std::wstring started = dir.file(L"started");
    writeSettings(L"touch " + started + L" ignore-ctrl sleep 600000");
    LoggingCapture capture(LEVEL_DEBUG);
    runService(started);
    EXPECT_EQ(statusSequence(capture), (std::vector<std::wstring>{L"starting", L"starting", L"running",
                                                                  L"stopping", L"stopping", L"stopped"}));
    EXPECT_TRUE(capture.has(L"Process exited with code: 42"));
    EXPECT_FALSE(capture.has(L"Service process exited without service stop request"));
    // "stopped" is the last act: after it the process may end at any moment.
    EXPECT_EQ(capture.messages().back(), L"Recieved final event. Thread exiting");
    const SERVICE_STATUS last = recordedReports().back();
    EXPECT_EQ(last.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(last.dwWin32ExitCode, 0u);
    EXPECT_EQ(last.dwServiceSpecificExitCode, 0u);
}

TEST_F(ServiceTaskRun, MarkerDecidesWhenTheServiceRuns)
{
    const std::wstring booted = dir.file(L"booted");
    writeSettings(L"text booting wait-file " + booted +
                      L" text \"Server started now\" text again-Server started sleep 600000",
                  L"<status-marker><started>Server started</started></status-marker>");
    LoggingCapture capture(LEVEL_DEBUG);
    // The program boots until "starting" has been sent a second time.
    std::thread booting([&booted] {
        for (int i = 0; i < 500 && recordedReports().size() < 2; ++i) {
            Sleep(20);
        }
        writeBytes(booted, "x");
    });
    runService(L"", &capture);
    booting.join();
    EXPECT_EQ(statusSequence(capture),
              (std::vector<std::wstring>{L"starting", L"starting", L"running", L"stopping", L"stopped"}));
    // Still starting while the program boots: the pending state was re-sent.
    const std::vector<SERVICE_STATUS> sent = recordedReports();
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[1].dwCurrentState, static_cast<DWORD>(SERVICE_START_PENDING));
}

TEST_F(ServiceTaskRun, MarkerAfterAStopRequestDoesNotReportTheServiceRunning)
{
    const std::wstring started = dir.file(L"started");
    const std::wstring stopFile = dir.file(L"stop.flag");
    writeSettings(L"touch " + started + L" wait-file " + stopFile + L" text \"Server started\" sleep 300",
                  L"<status-marker><started>Server started</started></status-marker>"
                  L"<termination><execution><program>" + helperPath(L"hwtestprog.exe") +
                      L"</program><arguments>touch " + stopFile + L"</arguments></execution></termination>");
    LoggingCapture capture(LEVEL_DEBUG);
    runService(started);
    EXPECT_TRUE(capture.has(L"Status running ignored: the service is stopping"));
    for (const SERVICE_STATUS& sent : recordedReports()) {
        EXPECT_NE(sent.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    }
    EXPECT_EQ(recordedReports().back().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
}

TEST_F(ServiceTaskRun, SettingsThatCannotBeLoadedStopTheServiceAsAFailure)
{
    writeUtf8(settingsFile, L"<hostwell><name>Svc</name><description>d</description></hostwell>");
    LoggingCapture capture(LEVEL_DEBUG);
    runService();
    EXPECT_TRUE(capture.has(L"Failed to load service task settings. Service will exit"));
    // Reported starting at once, before the file is read.
    EXPECT_EQ(statusSequence(capture), (std::vector<std::wstring>{L"starting", L"stopped"}));
    const SERVICE_STATUS last = recordedReports().back();
    EXPECT_EQ(last.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_EQ(last.dwServiceSpecificExitCode, 1u);
}

TEST_F(ServiceTaskRun, StopBeforeTheStartKeepsTheProgramFromStarting)
{
    const std::wstring started = dir.file(L"started");
    writeSettings(L"touch " + started + L" exit 0");
    ServiceStatus status(nullptr, 0x1C5, recordStatus);
    {
        ServiceExecuteProcessTask task(ServiceLaunch{settingsFile, L"Svc", L"", false});
        task.setContext(&context);
        context.fill(&status, &task);
        LoggingCapture capture(LEVEL_WARN);
        task.CallStopService();
        task.CallStartService();
        callWithin(RUN_BOUND, "ThreadedServiceTask::waitUntilFinished()", [&] { task.waitUntilFinished(); });
        EXPECT_TRUE(capture.has(L"No service process thread is running. Will report stopped"));
        EXPECT_TRUE(capture.has(L"There is a stopping process"));
    }
    EXPECT_FALSE(fileExists(started)) << "the program was started after the stop request";
    for (const SERVICE_STATUS& sent : recordedReports()) {
        EXPECT_NE(sent.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED)) << "stopped before the service ended";
    }
    status.setStatus(StatusValue::STOPPED);
    callWithin(RUN_BOUND, "ServiceStatus::waitUntilStopped()", [&] { status.waitUntilStopped(); });
}

namespace {

// An output whose write fails as a formatting of a huge line would.
class FailingAppender : public LogAppender {
public:
    void write(int, int, const std::wstring&, const std::wstring& message) override
    {
        if (message == L"explode") {
            throw std::bad_alloc();
        }
    }
};

}  // namespace

TEST_F(ServiceTaskRun, ExceptionInAThreadStopsTheServiceAsAFailure)
{
    writeSettings(L"text working text explode ignore-ctrl sleep 600000");
    LoggingCapture capture(LEVEL_INFO);
    FailingAppender failing;
    LoggerHolder::addAppender(&failing);
    runService();
    EXPECT_TRUE(capture.has(L"Service task failed: std::bad_alloc"));
    const SERVICE_STATUS last = recordedReports().back();
    EXPECT_EQ(last.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(last.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_EQ(last.dwServiceSpecificExitCode, 574u);
}
