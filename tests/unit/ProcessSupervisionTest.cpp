#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/Format.h"
#include "logging/LogLevel.h"
#include "process/ProcessCommand.h"
#include "process/ServiceProcessCommand.h"
#include "support/LoggingCapture.h"
#include "support/ProcessRunner.h"
#include "support/SupervisionTestCase.h"
#include "support/SystemVariable.h"
#include "support/TestFiles.h"

// A program run under ServiceProcessCommand: its output, its exit code, its
// environment and what it leaves running when it ends by itself.

using Supervision = SupervisionTestCase;

TEST_F(Supervision, LosesNoLineOfAProgramThatWritesAndExitsAtOnce)
{
    settings.setArguments(L"lines 20000 text \u00e4nd long-line 10");
    ServiceProcessCommand command(&root, &settings, &output);
    ASSERT_EQ(run(command), 0);
    const std::vector<std::wstring> lines = output.lines();
    ASSERT_EQ(lines.size(), 20002u);
    for (int n = 1; n <= 20000; ++n) {
        ASSERT_EQ(lines[static_cast<size_t>(n - 1)], format(L"line %08d ", n) + std::wstring(85, L'x')) << n;
    }
    EXPECT_EQ(lines[20001], std::wstring(10, L'x'));
}

TEST_F(Supervision, ReportsTheExitCodeButSucceedsWhenTheProgramRan)
{
    LoggingCapture capture(LEVEL_INFO);
    settings.setArguments(L"exit 3");
    ServiceProcessCommand command(&root, &settings, &output);
    EXPECT_EQ(run(command), 0);
    EXPECT_EQ(command.exitCode(), 3u);
    EXPECT_TRUE(capture.has(L"Process exited with code: 3"));
}

TEST_F(Supervision, FailsWhenTheProgramCannotBeStarted)
{
    LoggingCapture capture(LEVEL_ERROR);
    settings.setProgram(dir.file(L"missing.exe"));
    ServiceProcessCommand missing(&root, &settings, &output);
    EXPECT_EQ(run(missing), 1);
    bool reported = false;
    for (const std::wstring& message : capture.messages()) {
        reported = reported || message.rfind(L"Failed to CreateProcessAsUser: ", 0) == 0;
    }
    EXPECT_TRUE(reported);

    // Far beyond what a command line may hold: refused, not truncated.
    settings.setProgram(helperPath(L"hwtestprog.exe"));
    settings.setArguments(std::wstring(70000, L'a'));
    ServiceProcessCommand tooLong(&root, &settings, &output);
    EXPECT_EQ(run(tooLong), 1);
}

TEST_F(Supervision, EndsAndCountsWhatAProgramThatEndsByItselfLeftRunning)
{
    LoggingCapture capture(LEVEL_INFO);
    const std::wstring pidFile = dir.file(L"grandchild.pid");
    settings.setArguments(L"grandchild " + pidFile);
    ServiceProcessCommand command(&root, &settings, &output);
    EXPECT_EQ(run(command), 0);
    // Gone already or ending; never killed by its id here, which Wine may have given to another process.
    const DWORD grandchild = static_cast<DWORD>(std::stoul(readBytes(pidFile)));
    EXPECT_FALSE(processAlive(grandchild, 10000)) << "the grandchild outlived the run";
    EXPECT_TRUE(capture.has(L"1 process(es) started by the program were still running; they are ended with it"));
}

TEST_F(Supervision, CopiesListedSystemVariablesUnexpanded)
{
    const std::wstring value = L"%SystemRoot%\\hostwell-test";
    const SystemVariable expandable(L"HOSTWELL_TEST_EXPAND", REG_EXPAND_SZ, value);
    const SystemVariable number(L"HOSTWELL_TEST_NUMBER", 7);

    settings.addEnvironmentVariable(L"HOSTWELL_TEST_EXPAND");
    settings.addEnvironmentVariable(L"HOSTWELL_TEST_NUMBER");
    settings.addEnvironmentVariable(L"HOSTWELL_TEST_MISSING");
    settings.setArguments(L"env HOSTWELL_TEST_EXPAND env HOSTWELL_TEST_MISSING");
    LoggingCapture capture(LEVEL_DEBUG);
    ServiceProcessCommand command(&root, &settings, &output);
    EXPECT_EQ(run(command), 0);

    EXPECT_EQ(output.lines(), (std::vector<std::wstring>{L"HOSTWELL_TEST_EXPAND=" + value,
                                                         L"HOSTWELL_TEST_MISSING is not set"}));
    EXPECT_TRUE(capture.has(L"Set environment variable HOSTWELL_TEST_EXPAND=" + value + L" for process"));
    int skipped = 0;
    for (const std::wstring& message : capture.messages()) {
        skipped += message.rfind(L"Failed to find HOSTWELL_TEST_", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(skipped, 2);
}

TEST(CommandLine, QuotesTheProgramAndPassesArgumentsUnchanged)
{
    EXPECT_EQ(composeCommandLine(L"C:\\Program Files\\app.exe", L"a \"b c\""),
              L"\"C:\\Program Files\\app.exe\" a \"b c\"");
    EXPECT_EQ(composeCommandLine(L"C:\\app.exe", L""), L"\"C:\\app.exe\" ");
}
