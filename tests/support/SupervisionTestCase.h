#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "common/InterruptHolder.h"
#include "process/ServiceProcessCommand.h"
#include "settings/SimpleSettings.h"
#include "support/CollectingCallback.h"
#include "support/TestFiles.h"

// The test program run by ServiceProcessCommand as a service runs its program,
// in a fresh folder, with a stop timeout long enough for any stop to end by itself.
class SupervisionTestCase : public ::testing::Test {
protected:
    // Far more than any of these runs takes, even on a loaded machine.
    static constexpr DWORD RUN_BOUND = 60;

    TemporaryDirectory dir;
    SimpleServiceSettings service{L"Svc", L"Svc", L"d", L""};
    SimpleServiceTaskSettings settings{&service};
    CollectingCallback output;
    InterruptHolder root;

    void SetUp() override;
    void setStopCommand(const std::wstring& arguments);
    // A run that hangs, in the supervision or in the output reader, fails the test here.
    static int run(ServiceProcessCommand& command);
    // True while the process runs, or still runs after `ms` of waiting for its end.
    static bool processAlive(DWORD pid, DWORD ms = 0);
};
