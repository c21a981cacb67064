#include <gtest/gtest.h>

#include <windows.h>

#include <stdlib.h>

#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "commandline/Argz.h"
#include "common/UniqueResource.h"
#include "logging/CriticalSection.h"
#include "logging/LogLevel.h"
#include "process/ChildProcess.h"
#include "process/ProcessAction.h"
#include "process/ProcessCommand.h"
#include "process/ProcessInterruptTerminateHandler.h"
#include "process/RunWatcher.h"
#include "process/ServiceProcessCommand.h"
#include "process/StartGate.h"
#include "support/BoundedCall.h"
#include "support/LoggingCapture.h"
#include "support/SupervisionTestCase.h"
#include "support/TestFiles.h"

// How a program under ServiceProcessCommand is stopped: the stop command, the
// console event, the kill when the time is up, and the start that a stop or
// refused files prevent.

namespace {

// Interrupts a holder from another thread once a file appears.
class InterruptWhenFileAppears {
public:
    InterruptWhenFileAppears(InterruptHolder* holder, std::wstring path) : holder_(holder), path_(std::move(path))
    {
        thread_.reset(CreateThread(nullptr, 0, run, this, 0, nullptr));
    }
    ~InterruptWhenFileAppears() { WaitForSingleObject(thread_.get(), INFINITE); }

private:
    static DWORD WINAPI run(LPVOID parameter)
    {
        auto* self = static_cast<InterruptWhenFileAppears*>(parameter);
        for (int i = 0; i < 600 && !fileExists(self->path_); ++i) {
            Sleep(20);
        }
        self->holder_->interrupt();
        return 0;
    }

    InterruptHolder* holder_;
    std::wstring path_;
    UniqueHandle thread_;
};

// Has the program stopped as soon as it runs, as a health check that finds it unhealthy does.
class UnhealthyAtOnce : public RunWatcher {
public:
    void onRunStarted(const ChildProcess&) override {}
    void addHandles(std::vector<HANDLE>& handles) override { handles.push_back(due_.get()); }
    bool onSignalled(HANDLE) override { return true; }
    void onRunEnded() override {}

private:
    UniqueHandle due_{CreateEventW(nullptr, TRUE, TRUE, nullptr)};
};

// Answers the looks at the files in the order given (refuses once they run
// out), and lets a stop come right after the first look.
class ProgrammedGate : public StartGate {
public:
    explicit ProgrammedGate(std::vector<bool> answers, InterruptHolder* stopAfterTheLook = nullptr)
        : answers_(std::move(answers)), stopAfterTheLook_(stopAfterTheLook)
    {
    }
    bool filesTrusted() override
    {
        if (stopAfterTheLook_ != nullptr) {
            ScopedLock lock(stopLock_);
            stopAfterTheLook_->interrupt();
        }
        const bool trusted = looks_ < answers_.size() && answers_[looks_];
        ++looks_;
        return trusted;
    }
    CriticalSection& stopLock() override { return stopLock_; }

private:
    std::vector<bool> answers_;
    size_t looks_ = 0;
    InterruptHolder* stopAfterTheLook_;
    CriticalSection stopLock_;
};

}  // namespace

using Supervision = SupervisionTestCase;

TEST_F(Supervision, TerminatesTheProgramAndWhatItStartedWithExitCode42)
{
    LoggingCapture capture(LEVEL_INFO);
    const std::wstring pidFile = dir.file(L"grandchild.pid");
    settings.setArguments(L"grandchild " + pidFile + L" ignore-ctrl sleep 600000");
    ServiceProcessCommand command(&root, &settings, &output);
    InterruptWhenFileAppears stopper(&root, pidFile);
    EXPECT_EQ(run(command), 0);
    EXPECT_EQ(command.exitCode(), 42u);
    EXPECT_TRUE(capture.has(L"Service process will be killed, exit code would be 42"));
    EXPECT_TRUE(capture.has(L"Process exited with code: 42"));
    const DWORD grandchild = static_cast<DWORD>(std::stoul(readBytes(pidFile)));
    EXPECT_FALSE(processAlive(grandchild, 10000));
}

TEST_F(Supervision, StartsNoProgramOnceAStopCameOrItsFilesAreRefusedAndRefusesAStopCommandTheSameWay)
{
    const std::wstring pid = dir.file(L"program.pid");
    settings.setArguments(L"write-pid " + pid + L" ignore-ctrl sleep 600000");
    // The stop comes after everything before the start is done.
    ProgrammedGate stopping({true}, &root);
    ServiceProcessCommand stopped(&root, &settings, &output);
    stopped.startThrough(&stopping);
    EXPECT_EQ(run(stopped), 0);
    EXPECT_EQ(stopped.start(), ProgramStart::StopRequested);
    EXPECT_FALSE(fileExists(pid)) << "the program was started after the stop request";

    InterruptHolder second;
    ProgrammedGate refusing({false});
    ServiceProcessCommand refused(&second, &settings, &output);
    refused.startThrough(&refusing);
    EXPECT_EQ(run(refused), 1);
    EXPECT_EQ(refused.start(), ProgramStart::FilesRefused);
    EXPECT_FALSE(fileExists(pid)) << "the program was started although its files were refused";

    // Trusted at the start, refused at the stop: the stop command does not
    // run, the program is killed at once, and the stop counts as failed.
    const std::wstring asked = dir.file(L"asked");
    setStopCommand(L"touch " + asked);
    InterruptHolder third;
    ProgrammedGate startOnly({true, false});
    ServiceProcessCommand command(&third, &settings, &output);
    command.startThrough(&startOnly);
    InterruptWhenFileAppears stopper(&third, pid);
    EXPECT_EQ(run(command), 0);
    EXPECT_EQ(command.start(), ProgramStart::Started);
    EXPECT_EQ(command.exitCode(), 42u);
    EXPECT_TRUE(command.stopFailed());
    EXPECT_FALSE(fileExists(asked)) << "the stop command ran";
}

TEST(ProcessKill, AProcessThatDoesNotEndAfterItWasKilledIsGivenUpWithARecordThatNamesIt)
{
    // A process handle that never signals: a program stuck in I/O that never completes.
    const UniqueHandle neverEnds(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const HANDLE job = CreateJobObjectW(nullptr, nullptr);
    const ChildProcess child(neverEnds.get(), job);
    LoggingCapture capture(LEVEL_INFO);
    ProcessInterruptTerminateHandler handler(L"Service process", 300);
    const ULONGLONG began = GetTickCount64();
    DWORD wait = handler.handle(child);
    EXPECT_LE(wait, 300u);
    EXPECT_TRUE(capture.has(L"Service process will be killed, exit code would be 42"));
    while (wait != ProcessInterruptHandler::GIVE_UP && GetTickCount64() - began < 30000) {
        Sleep(wait < 100 ? wait : 100);
        wait = handler.handle(child);
    }
    EXPECT_EQ(wait, ProcessInterruptHandler::GIVE_UP) << "still waited for after 30 s";
    EXPECT_GE(GetTickCount64() - began, 300u) << "given up before its time";
    EXPECT_TRUE(capture.has(L"Service process (process id 0) did not end within 300ms of being killed; it is given up"));
}

TEST_F(Supervision, SendsNoSecondConsoleEventToAProgramThatHadTheConsolesOwn)
{
    LoggingCapture capture(LEVEL_INFO);
    const std::wstring started = dir.file(L"started");
    settings.setArguments(L"touch " + started + L" ignore-ctrl sleep 600000");
    settings.setConsoleEvent(ConsoleEvent::CtrlC);
    settings.setStopTimeout(100);
    const std::atomic<bool> consoleEventReceived{true};
    ServiceProcessCommand command(&root, &settings, &output, &consoleEventReceived);
    InterruptWhenFileAppears stopper(&root, started);
    EXPECT_EQ(run(command), 0);
    EXPECT_TRUE(capture.has(L"The program has received the console's event already; no Ctrl+C is sent"));
    EXPECT_FALSE(capture.has(L"Sending Ctrl+C to the process"));
    // It still has its time to end before it is terminated.
    EXPECT_TRUE(capture.has(L"Failed to wait for process to exit..."));
    EXPECT_EQ(command.exitCode(), 42u);
}

TEST_F(Supervision, AProgramStoppedByItsHealthCheckOrAStopRequestIsNotSaidToLeaveProcessesBehind)
{
    // The program ends by itself once the stop command has seen its grandchild start.
    const std::wstring pidFile = dir.file(L"grandchild.pid");
    const std::wstring stopFile = dir.file(L"stop.flag");
    settings.setArguments(L"grandchild " + pidFile + L" wait-file " + stopFile + L" exit 0");
    setStopCommand(L"wait-file " + pidFile + L" touch " + stopFile);
    const auto saidToLeaveProcesses = [&](bool byHealthCheck) {
        DeleteFileW(pidFile.c_str());
        DeleteFileW(stopFile.c_str());
        LoggingCapture capture(LEVEL_INFO);
        ServiceProcessCommand command(&root, &settings, &output);
        UnhealthyAtOnce healthCheck;
        std::optional<InterruptWhenFileAppears> stopRequest;
        if (byHealthCheck) {
            command.watchWith(&healthCheck);
        } else {
            stopRequest.emplace(&root, pidFile);
        }
        EXPECT_EQ(run(command), 0);
        EXPECT_EQ(command.stoppedByWatcher(), byHealthCheck);
        EXPECT_TRUE(capture.has(L"Process exited with code: 0")) << "the program did not end by itself";
        return capture.has(L"1 process(es) started by the program were still running; they are ended with it");
    };
    // The stop request last: it stays with the holder.
    EXPECT_FALSE(saidToLeaveProcesses(true));
    EXPECT_FALSE(saidToLeaveProcesses(false));
}

TEST_F(Supervision, CloseEventReturnsOnlyWhenTheStopSequenceIsOver)
{
    const std::wstring pidFile = dir.file(L"program.pid");
    const std::wstring stopped = dir.file(L"stop-command.ran");
    // The program ends once the stop command has run; the stop timeout only bounds that.
    settings.setArguments(L"write-pid " + pidFile + L" wait-file " + stopped + L" exit 0");
    settings.setStopTimeout(30000);
    setStopCommand(L"sleep 500 touch " + stopped);
    ProcessAction action;
    std::thread console([&] { action.ExecuteTaskAction(Argz(0, nullptr), settings); });
    for (int i = 0; i < 500 && !fileExists(pidFile); ++i) {
        Sleep(20);
    }
    // Without the program the close event is still sent: it ends the run.
    EXPECT_TRUE(fileExists(pidFile)) << "the program did not start within 10 s";
    const DWORD program = static_cast<DWORD>(strtoul(readBytes(pidFile).c_str(), nullptr, 10));
    // Windows ends the process as soon as the handler returns from a close.
    EXPECT_TRUE(resultWithin(RUN_BOUND, "the close event's handler",
                             [&] { return action.routineFor(&action)(CTRL_CLOSE_EVENT); }));
    EXPECT_TRUE(fileExists(stopped)) << "the stop command had not run";
    EXPECT_FALSE(processAlive(program)) << "the program was still running";
    callWithin(RUN_BOUND, "ProcessAction::ExecuteTaskAction()", [&] { console.join(); });
}

TEST_F(Supervision, RunsTheStopCommandAndLetsTheProgramEndByItself)
{
    LoggingCapture capture(LEVEL_INFO);
    const std::wstring started = dir.file(L"started");
    const std::wstring stopFile = dir.file(L"stop.flag");
    settings.setArguments(L"touch " + started + L" wait-file " + stopFile + L" text bye exit 7");
    setStopCommand(L"text stopping touch " + stopFile);
    ServiceProcessCommand command(&root, &settings, &output);
    InterruptWhenFileAppears stopper(&root, started);
    EXPECT_EQ(run(command), 0);
    EXPECT_EQ(command.exitCode(), 7u);
    EXPECT_TRUE(capture.has(L"stopping"));  // the stop command's own output
    EXPECT_FALSE(capture.has(L"Service process will be killed, exit code would be 42"));
    bool stopConsole = false;
    for (const CapturedRecord& record : capture.records()) {
        stopConsole = stopConsole || (record.message == L"stopping" && record.prefix.rfind(L"stop_console ", 0) == 0);
    }
    EXPECT_TRUE(stopConsole);
    EXPECT_EQ(output.lines().back(), L"bye");
}

TEST_F(Supervision, KillsAHangingStopCommandAndTheProgramWhenTheTimeIsUp)
{
    LoggingCapture capture(LEVEL_INFO);
    const std::wstring started = dir.file(L"started");
    const std::wstring stopPid = dir.file(L"stop.pid");
    settings.setArguments(L"touch " + started + L" ignore-ctrl sleep 600000");
    settings.setStopTimeout(3000);
    setStopCommand(L"write-pid " + stopPid + L" sleep 600000");
    ServiceProcessCommand command(&root, &settings, &output);
    InterruptWhenFileAppears stopper(&root, started);
    const DWORD begin = GetTickCount();
    EXPECT_EQ(run(command), 0);
    EXPECT_EQ(command.exitCode(), 42u);
    EXPECT_LT(GetTickCount() - begin, 30000u);
    EXPECT_TRUE(capture.has(L"Failed to wait for process to exit..."));
    // Each killed process is named for what it is.
    EXPECT_TRUE(capture.has(L"Stop command process will be killed, exit code would be 42"));
    EXPECT_TRUE(capture.has(L"Service process will be killed, exit code would be 42"));
    // The stop command says who it is at once; on a loaded machine it may be killed before it does.
    const std::string stopCommand = readBytes(stopPid);
    EXPECT_FALSE(!stopCommand.empty() && processAlive(static_cast<DWORD>(std::stoul(stopCommand)), 10000));
}
