#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include <com_corvane_launcher_util_WindowsConsoleHandler.h>

#include "ErrorReporter.h"
#include "FakeJvm.h"
#include "StderrCapture.h"
#include "support/ProcessRunner.h"

namespace {

using Calls = std::vector<std::string>;
using SetCtrlCloseHandler = decltype(&Java_com_corvane_launcher_util_WindowsConsoleHandler_setCtrlCloseHandler);

// The export of the built DLL, found by the name a JVM looks up. The DLL stays
// loaded: the console handler it installs must not outlive its code.
SetCtrlCloseHandler exportedRegistration()
{
    static const HMODULE library = LoadLibraryW((binDirectory() + L"\\Corvane.Breakline64.dll").c_str());
    if (library == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<SetCtrlCloseHandler>(reinterpret_cast<void*>(
        GetProcAddress(library, "Java_com_corvane_launcher_util_WindowsConsoleHandler_setCtrlCloseHandler")));
}

// Registers through the DLL and returns what it wrote on standard error.
std::string registerThroughDll(FakeJvm& jvm, jobject handler)
{
    const SetCtrlCloseHandler registration = exportedRegistration();
    if (registration == nullptr) {
        ADD_FAILURE() << "Corvane.Breakline64.dll or its export is missing";
        return "";
    }
    StderrCapture capture;
    registration(jvm.env(), nullptr, handler);
    return capture.text();
}

}  // namespace

TEST(BreaklineRegistration, StoresTheVmAndAGlobalReferenceAndFindsVoidRunSilently)
{
    FakeJvm jvm;
    EXPECT_EQ(registerThroughDll(jvm, jvm.newObject("A", true)), "");
    EXPECT_EQ(jvm.calls(), (Calls{"GetJavaVM", "NewGlobalRef(local A)", "GetObjectClass(global A)",
                                  "GetMethodID(class of A, run, ()V)"}));
    EXPECT_EQ(jvm.runCalls("A"), 0);
}

TEST(BreaklineRegistration, StopsAtTheFirstFailedStepWithItsLine)
{
    FakeJvm nullHandler;
    EXPECT_EQ(registerThroughDll(nullHandler, nullptr),
              "[Native Error] Failed to create global reference for handler\n");
    EXPECT_EQ(nullHandler.calls(), (Calls{"GetJavaVM", "NewGlobalRef(null)"}));

    FakeJvm noClass;
    noClass.failGetObjectClass = true;
    EXPECT_EQ(registerThroughDll(noClass, noClass.newObject("A", true)), "[Native Error] Failed to get handler class\n");
    EXPECT_EQ(noClass.calls(), (Calls{"GetJavaVM", "NewGlobalRef(local A)", "GetObjectClass(global A)"}));

    FakeJvm noRun;
    EXPECT_EQ(registerThroughDll(noRun, noRun.newObject("A", false)),
              "[Native Error] Failed to find method \"void run()\" in the handler class\n");
    EXPECT_EQ(noRun.calls(), (Calls{"GetJavaVM", "NewGlobalRef(local A)", "GetObjectClass(global A)",
                                    "GetMethodID(class of A, run, ()V)"}));
}

// SetConsoleCtrlHandler does not fail for a valid routine, so its line is
// checked through the function that writes it.
TEST(BreaklineRegistration, CtrlHandlerFailureLineCarriesTheUnsignedErrorCode)
{
    StderrCapture capture;
    writeCtrlHandlerFailure(ERROR_NOT_ENOUGH_MEMORY);
    writeCtrlHandlerFailure(0xFFFFFFFF);
    EXPECT_EQ(capture.text(), "[Native Error] Failed to set console CTRL handler: 8\n"
                              "[Native Error] Failed to set console CTRL handler: 4294967295\n");
}
