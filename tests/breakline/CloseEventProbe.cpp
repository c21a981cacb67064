// Runs one close event of the console handler routine in a process of its
// own, since the library keeps process-wide state, and prints for the test
// that started it: the routine's result, the milliseconds it took, the JNI
// calls of the event, and then, after a line "stderr", what it wrote there.
//
//   breakline_close_probe.exe unregistered|attach-fails|consumed|no-run-method|detach-fails

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>

#include <chrono>
#include <string>

#include <com_corvane_launcher_util_WindowsConsoleHandler.h>

#include "ConsoleCloseHandler.h"
#include "FakeJvm.h"
#include "StderrCapture.h"

namespace {

void registerHandler(FakeJvm& jvm, bool hasVoidRun)
{
    Java_com_corvane_launcher_util_WindowsConsoleHandler_setCtrlCloseHandler(jvm.env(), nullptr,
                                                                             jvm.newObject("A", hasVoidRun));
}

// Brings the library into the state the case names; false for an unknown case.
bool prepare(const std::string& scenario, FakeJvm& jvm)
{
    if (scenario == "unregistered") {
    } else if (scenario == "no-run-method") {
        registerHandler(jvm, false);
    } else if (scenario == "attach-fails") {
        registerHandler(jvm, true);
        jvm.failAttach = true;
    } else if (scenario == "detach-fails") {
        registerHandler(jvm, true);
        jvm.failDetach = true;
    } else if (scenario == "consumed") {
        registerHandler(jvm, true);
        handleConsoleControl(CTRL_CLOSE_EVENT);
    } else {
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    _setmode(_fileno(stdout), _O_BINARY);
    FakeJvm jvm;
    StderrCapture capture;
    if (argc != 2 || !prepare(argv[1], jvm)) {
        return 2;
    }
    jvm.clearCalls();

    const auto start = std::chrono::steady_clock::now();
    const BOOL result = handleConsoleControl(CTRL_CLOSE_EVENT);
    const auto elapsed = std::chrono::steady_clock::now() - start;

    printf("result %d\n", result);
    printf("elapsed %lld\n", static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()));
    for (const std::string& call : jvm.calls()) {
        printf("call %s\n", call.c_str());
    }
    const std::string errors = capture.text();
    printf("stderr\n%s", errors.c_str());
    return 0;
}
