#include <gtest/gtest.h>

#include <windows.h>

#include <future>
#include <map>
#include <string>
#include <vector>

#include <com_corvane_launcher_util_WindowsConsoleHandler.h>

#include "ConsoleCloseHandler.h"
#include "FakeJvm.h"
#include "StderrCapture.h"
#include "support/ProcessRunner.h"

namespace {

using Calls = std::vector<std::string>;

void registerHandler(FakeJvm& jvm, jobject handler)
{
    Java_com_corvane_launcher_util_WindowsConsoleHandler_setCtrlCloseHandler(jvm.env(), nullptr, handler);
}

// What breakline_close_probe.exe saw of one close event.
struct CloseEvent {
    int result = -1;
    long long elapsedMs = -1;
    Calls calls;
    std::string standardError;
};

CloseEvent parseProbeOutput(const std::string& output)
{
    CloseEvent event;
    size_t start = 0;
    while (start < output.size()) {
        const size_t end = output.find('\n', start);
        const std::string line = output.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? output.size() : end + 1;
        if (line == "stderr") {
            event.standardError = output.substr(start);
            break;
        }
        if (line.rfind("result ", 0) == 0) {
            event.result = std::stoi(line.substr(7));
        } else if (line.rfind("elapsed ", 0) == 0) {
            event.elapsedMs = std::stoll(line.substr(8));
        } else if (line.rfind("call ", 0) == 0) {
            event.calls.push_back(line.substr(5));
        }
    }
    return event;
}

CloseEvent closeEventInProbe(const std::wstring& scenario)
{
    const ProcessResult probe = runProcess(helperPath(L"breakline_close_probe.exe"), {scenario});
    EXPECT_EQ(probe.exitCode, 0u) << "probe " << probe.rawOutput;
    return parseProbeOutput(probe.rawOutput);
}

}  // namespace

TEST(ConsoleCloseHandler, PassesEveryOtherEventOnWithoutTouchingTheVm)
{
    FakeJvm jvm;
    registerHandler(jvm, jvm.newObject("A", true));
    jvm.clearCalls();
    StderrCapture capture;
    for (DWORD event : {CTRL_C_EVENT, CTRL_BREAK_EVENT, CTRL_LOGOFF_EVENT, CTRL_SHUTDOWN_EVENT}) {
        EXPECT_EQ(handleConsoleControl(event), FALSE) << "event " << event;
    }
    EXPECT_EQ(jvm.calls(), Calls{});
    EXPECT_EQ(capture.text(), "");
}

TEST(ConsoleCloseHandler, FirstCloseRunsTheHandlerOnceThenReleasesItAndDetaches)
{
    FakeJvm jvm;
    registerHandler(jvm, jvm.newObject("A", true));
    jvm.clearCalls();
    StderrCapture capture;
    EXPECT_EQ(handleConsoleControl(CTRL_CLOSE_EVENT), TRUE);
    EXPECT_EQ(jvm.calls(), (Calls{"AttachCurrentThread(null)", "CallVoidMethod(global A, run)",
                                  "DeleteGlobalRef(global A)", "DetachCurrentThread"}));
    EXPECT_EQ(jvm.runCalls("A"), 1);
    EXPECT_EQ(capture.text(), "");
}

TEST(ConsoleCloseHandler, RegisteringAgainReplacesTheHandler)
{
    FakeJvm jvm;
    registerHandler(jvm, jvm.newObject("A", true));
    registerHandler(jvm, jvm.newObject("B", true));
    EXPECT_EQ(handleConsoleControl(CTRL_CLOSE_EVENT), TRUE);
    EXPECT_EQ(jvm.runCalls("A"), 0);
    EXPECT_EQ(jvm.runCalls("B"), 1);
    EXPECT_EQ(jvm.calls(), (Calls{"GetJavaVM", "NewGlobalRef(local A)", "GetObjectClass(global A)",
                                  "GetMethodID(class of A, run, ()V)", "GetJavaVM", "NewGlobalRef(local B)",
                                  "GetObjectClass(global B)", "GetMethodID(class of B, run, ()V)",
                                  "AttachCurrentThread(null)", "CallVoidMethod(global B, run)",
                                  "DeleteGlobalRef(global B)", "DetachCurrentThread"}));
}

// Every failure pauses 2 s; each case runs in its own probe process (fresh
// library state), all at once, so the suite waits for one pause only.
TEST(ConsoleCloseHandler, ReportsEachFailureThenPausesAndReturnsFalse)
{
    const std::vector<std::wstring> scenarios = {L"unregistered", L"attach-fails", L"consumed", L"no-run-method",
                                                 L"detach-fails"};
    std::map<std::wstring, std::future<CloseEvent>> running;
    for (const std::wstring& scenario : scenarios) {
        running[scenario] = std::async(std::launch::async, closeEventInProbe, scenario);
    }
    std::map<std::wstring, CloseEvent> events;
    for (auto& probe : running) {
        events[probe.first] = probe.second.get();
        SCOPED_TRACE(std::string(probe.first.begin(), probe.first.end()));
        EXPECT_EQ(events[probe.first].result, FALSE);
        EXPECT_GE(events[probe.first].elapsedMs, 1900);  // Sleep(2000), give or take the timer's granularity
    }

    EXPECT_EQ(events[L"unregistered"].calls, Calls{});
    EXPECT_EQ(events[L"unregistered"].standardError, "[Native Error] JVM is not initialized\n");

    EXPECT_EQ(events[L"attach-fails"].calls, Calls{"AttachCurrentThread(null)"});
    EXPECT_EQ(events[L"attach-fails"].standardError, "[Native Error] Failed to attach native thread to JVM\n");

    // The second close after the handler was consumed; it stays attached.
    EXPECT_EQ(events[L"consumed"].calls, Calls{"AttachCurrentThread(null)"});
    EXPECT_EQ(events[L"consumed"].standardError, "[Native Error] Handler is not initialized\n");

    EXPECT_EQ(events[L"no-run-method"].calls, Calls{"AttachCurrentThread(null)"});
    EXPECT_EQ(events[L"no-run-method"].standardError,
              "[Native Error] Failed to find method \"void run()\" in the handler class\n"
              "[Native Error] Handler method ID is not initialized\n");

    EXPECT_EQ(events[L"detach-fails"].calls, (Calls{"AttachCurrentThread(null)", "CallVoidMethod(global A, run)",
                                                    "DeleteGlobalRef(global A)", "DetachCurrentThread"}));
    EXPECT_EQ(events[L"detach-fails"].standardError, "[Native Error] Failed to detach native thread from JVM\n");
}
