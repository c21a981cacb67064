#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <thread>
#include <vector>

#include "logging/CriticalSection.h"
#include "logging/LogLevel.h"
#include "service/ServiceStatus.h"
#include "service/StatusValue.h"
#include "support/BoundedCall.h"
#include "support/LoggingCapture.h"

namespace {

struct Report {
    SERVICE_STATUS status;
    DWORD tick;
};

// Records every report; can be told to hold the status thread inside a
// report, or to let it go one report at a time.
struct Recorder {
    CriticalSection lock;
    std::vector<Report> reports;
    HANDLE release = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    HANDLE entered = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::atomic<bool> oneByOne{false};
    HANDLE next = CreateEventW(nullptr, FALSE, FALSE, nullptr);

    ~Recorder()
    {
        CloseHandle(release);
        CloseHandle(entered);
        CloseHandle(next);
    }

    // The report the status thread is held in now.
    SERVICE_STATUS held()
    {
        EXPECT_EQ(WaitForSingleObject(entered, 30000), WAIT_OBJECT_0) << "no report within 30 s";
        return snapshot().back().status;
    }

    std::vector<Report> snapshot()
    {
        ScopedLock guard(lock);
        return reports;
    }
};

Recorder* recorder = nullptr;

BOOL WINAPI recordStatus(SERVICE_STATUS_HANDLE, LPSERVICE_STATUS status)
{
    {
        ScopedLock guard(recorder->lock);
        recorder->reports.push_back({*status, GetTickCount()});
    }
    SetEvent(recorder->entered);
    WaitForSingleObject(recorder->release, INFINITE);
    if (recorder->oneByOne) {
        WaitForSingleObject(recorder->next, INFINITE);
    }
    return TRUE;
}

class ServiceStatusProtocol : public ::testing::Test {
protected:
    Recorder record;
    void SetUp() override { recorder = &record; }
    void TearDown() override { recorder = nullptr; }

    // The status thread has made its last report and ended.
    static void waitUntilStopped(ServiceStatus& status)
    {
        callWithin(10, "ServiceStatus::waitUntilStopped()", [&status] { status.waitUntilStopped(); });
    }

    static void waitForMessage(const LoggingCapture& capture, const std::wstring& message)
    {
        for (int i = 0; i < 500 && !capture.has(message); ++i) {
            Sleep(20);
        }
        ASSERT_TRUE(capture.has(message)) << "not logged within 10 s";
    }
};

}  // namespace

TEST_F(ServiceStatusProtocol, ResendsAPendingStateWhoseCheckpointRisesOnlyWithTheWorksHeartbeat)
{
    ServiceStatus status(nullptr, 0x1C5, recordStatus);
    record.oneByOne = true;
    std::thread starting([&status] { status.setStatus(StatusValue::STARTING); });
    const SERVICE_STATUS first = record.held();
    EXPECT_EQ(first.dwCurrentState, static_cast<DWORD>(SERVICE_START_PENDING));
    EXPECT_EQ(first.dwCheckPoint, 43u);
    EXPECT_EQ(first.dwWaitHint, 3000u);
    EXPECT_EQ(first.dwControlsAccepted, 0x1C5u);
    EXPECT_EQ(first.dwServiceType, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
    EXPECT_TRUE(status.beat()) << "beats are wanted while the state is pending";
    SetEvent(record.next);
    EXPECT_EQ(record.held().dwCheckPoint, 44u) << "the beat was not progress";
    // No beat: the work may hang, and the control manager is to see that.
    SetEvent(record.next);
    EXPECT_EQ(record.held().dwCheckPoint, 44u) << "progress reported without a beat";
    SetEvent(record.next);
    EXPECT_EQ(record.held().dwCheckPoint, 44u) << "progress reported without a beat";
    record.oneByOne = false;
    SetEvent(record.next);
    starting.join();

    status.setStatus(StatusValue::RUNNING);
    EXPECT_FALSE(status.beat()) << "beats are wanted while running";
    status.setStatus(StatusValue::STOPPING);
    EXPECT_TRUE(status.beat());
    status.setStatus(StatusValue::STOPPED);
    status.waitUntilStopped();
    const std::vector<Report> reports = record.snapshot();
    ASSERT_GE(reports.size(), 7u);
    // Re-sent on the 600 ms timer, not in a busy loop.
    EXPECT_GE(reports[2].tick - reports[1].tick, 500u);
    const auto firstIn = [&reports](DWORD state) {
        for (const Report& report : reports) {
            if (report.status.dwCurrentState == state) {
                return report.status;
            }
        }
        ADD_FAILURE() << "no report of state " << state;
        return SERVICE_STATUS{};
    };
    // A settled state carries no checkpoint and no wait hint; a new value is progress.
    EXPECT_EQ(firstIn(SERVICE_RUNNING).dwCheckPoint, 0u);
    EXPECT_EQ(firstIn(SERVICE_RUNNING).dwWaitHint, 0u);
    EXPECT_GT(firstIn(SERVICE_STOP_PENDING).dwCheckPoint, 44u);
    EXPECT_EQ(reports.back().status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(reports.back().status.dwWin32ExitCode, 0u);
}

TEST_F(ServiceStatusProtocol, SendsOnlyTheLatestValueNeverRunningAfterAStopAndEndsAfterStopped)
{
    LoggingCapture capture(LEVEL_DEBUG);
    ServiceStatus status(nullptr, 0x1C5, recordStatus);
    ResetEvent(record.release);
    status.setStatus(StatusValue::STARTING);
    ASSERT_EQ(WaitForSingleObject(record.entered, 5000), WAIT_OBJECT_0);
    // Both values are set, by two threads, while the thread is busy with the
    // first report; each call returns once the latest value was reported.
    std::thread running([&status] { status.setStatus(StatusValue::RUNNING); });
    waitForMessage(capture, L"Set status to: running");
    std::thread stopping([&status] { status.setStatus(StatusValue::STOPPING); });
    waitForMessage(capture, L"Set status to: stopping");
    SetEvent(record.release);
    running.join();
    stopping.join();
    status.setStatus(StatusValue::RUNNING);
    status.setStatus(StatusValue::STOPPED);
    status.setStatus(StatusValue::STARTING);
    waitUntilStopped(status);

    const std::vector<Report> reports = record.snapshot();
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[0].status.dwCurrentState, static_cast<DWORD>(SERVICE_START_PENDING));
    EXPECT_EQ(reports[1].status.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));
    EXPECT_EQ(reports[1].status.dwCheckPoint, 44u);
    EXPECT_EQ(reports[2].status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
}

TEST_F(ServiceStatusProtocol, ReportsAFailureOnlyInTheFinalStoppedRecord)
{
    ServiceStatus status(nullptr, 0x1C5, recordStatus);
    status.setFailureExitCode(3);
    status.setStatus(StatusValue::STOPPING);
    // Already with the control manager when setStatus returns.
    ASSERT_FALSE(record.snapshot().empty());
    status.setStatus(StatusValue::STOPPED);
    waitUntilStopped(status);
    const std::vector<Report> reports = record.snapshot();
    ASSERT_GE(reports.size(), 2u);
    for (size_t i = 0; i + 1 < reports.size(); ++i) {
        EXPECT_EQ(reports[i].status.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));
        EXPECT_EQ(reports[i].status.dwWin32ExitCode, 0u);
    }
    EXPECT_EQ(reports.back().status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(reports.back().status.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_EQ(reports.back().status.dwServiceSpecificExitCode, 3u);
}

TEST_F(ServiceStatusProtocol, SetStatusReturnsOnlyOnceItsValueIsReportedOrItsWaitForThatIsOver)
{
    const std::wstring notReported = L"Status not reported within 2000 ms";
    LoggingCapture capture(LEVEL_DEBUG);
    ServiceStatus status(nullptr, 0x1C5, recordStatus);
    // The status thread is held inside the report, so the call can only give up waiting for it.
    ResetEvent(record.release);
    callWithin(10, "setStatus while its report was held", [&status] { status.setStatus(StatusValue::STARTING); });
    EXPECT_TRUE(capture.has(notReported)) << "setStatus returned before its value was reported";

    SetEvent(record.release);
    callWithin(10, "setStatus", [&status] { status.setStatus(StatusValue::STOPPING); });
    const std::vector<Report> reports = record.snapshot();
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back().status.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));
    int waitsGivenUp = 0;
    for (const std::wstring& message : capture.messages()) {
        waitsGivenUp += message == notReported ? 1 : 0;
    }
    EXPECT_EQ(waitsGivenUp, 1) << "a report that was made was not waited for as such";
    status.setStatus(StatusValue::STOPPED);
}
