#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/Format.h"
#include "common/TextConversion.h"
#include "common/UniqueResource.h"
#include "support/LogText.h"
#include "support/ProcessRunner.h"
#include "support/SystemVariable.h"
#include "support/TestFiles.h"

namespace {

class ConsoleMode : public ::testing::Test {
protected:
    TemporaryDirectory dir;
    std::wstring settings = dir.file(L"app.xml");

    ProcessResult console(const std::wstring& program, const std::wstring& arguments,
                          const std::wstring& extraExecution = L"", std::vector<std::wstring> extra = {})
    {
        writeUtf8(settings, L"<hostwell><name>Console</name><description>d</description><execution><program>" +
                                program + L"</program><arguments>" + arguments + L"</arguments>" + extraExecution +
                                L"</execution></hostwell>");
        extra.insert(extra.begin(), {L"console", L"/settings=" + settings});
        return runHostwell(extra);
    }

    ProcessResult consoleTestProgram(const std::wstring& arguments, std::vector<std::wstring> extra = {})
    {
        return console(helperPath(L"hwtestprog.exe"), arguments, L"", extra);
    }
};

}  // namespace

TEST_F(ConsoleMode, LogsTheProgramsOutputUnderConsoleAndItsExitCode)
{
    const ProcessResult result = consoleTestProgram(L"text \"hello world\" text second exit 3", {L"/debug"});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0u);  // the program ran; its own exit code is only logged
    EXPECT_TRUE(result.hasLine(L"console                           [Info] hello world"));
    EXPECT_TRUE(result.hasLine(L"console                           [Info] second"));
    EXPECT_TRUE(result.hasLine(L"ProcessCommand                    [Info] Process exited with code: 3"));
    EXPECT_TRUE(result.hasLine(L"ServiceProcessCommand            [Debug] Process will be terminated on service exit"));
    EXPECT_FALSE(result.contains(L"Set status to:"));
}

TEST_F(ConsoleMode, ShowsBareLinesWithoutDebug)
{
    const ProcessResult result = consoleTestProgram(L"text hello");
    const std::vector<std::wstring> lines = result.lines();
    const std::vector<std::wstring> tail(lines.end() - 2, lines.end());
    EXPECT_EQ(tail, (std::vector<std::wstring>{L"hello", L"Process exited with code: 0"}));
}

TEST_F(ConsoleMode, FailsWhenTheProgramCannotBeStarted)
{
    writeBytes(dir.file(L"not-a-program.exe"), "this is text, not a program");
    const ProcessResult result = console(dir.file(L"not-a-program.exe"), L"");
    EXPECT_EQ(result.exitCode, 1u);
    bool reported = false;
    for (const std::wstring& line : result.lines()) {
        reported = reported || line.rfind(L"Failed to CreateProcessAsUser: ", 0) == 0;
    }
    EXPECT_TRUE(reported) << toUtf8(result.output());
}

TEST_F(ConsoleMode, KeepsEveryLineInOrderInTheLogFile)
{
    const std::wstring log = dir.file(L"logs\\console.log");
    const ProcessResult result = consoleTestProgram(L"lines 20000 long-line 5", {L"/logfile=" + log});
    EXPECT_EQ(result.exitCode, 0u);
    // About 3.3 MB of records: the file has rolled over once.
    const std::vector<std::wstring> lines = infoMessagesOf(readUtf8(log + L".1") + readUtf8(log), L"console");
    EXPECT_FALSE(fileExists(log + L".2"));
    ASSERT_EQ(lines.size(), 20001u);
    for (int n = 1; n <= 20000; ++n) {
        ASSERT_EQ(lines[static_cast<size_t>(n - 1)], format(L"line %08d ", n) + std::wstring(85, L'x'));
    }
    EXPECT_EQ(lines.back(), L"xxxxx");
}

TEST_F(ConsoleMode, RunsAProgramWhosePathHasBlanksInAnEmptyWorkDirectorySetting)
{
    CreateDirectoryW(dir.file(L"with blanks").c_str(), nullptr);
    const std::wstring program = dir.file(L"with blanks\\test program.exe");
    ASSERT_TRUE(CopyFileW(helperPath(L"hwtestprog.exe").c_str(), program.c_str(), FALSE));
    const ProcessResult result = console(program, L"text ran", L"<workdir></workdir>");
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_TRUE(result.hasLine(L"ran"));
    EXPECT_TRUE(result.hasLine(L"Program work dir:     " + dir.path()));
}

TEST_F(ConsoleMode, SurvivesGarbageAndHugeLinesWithoutLosingCharacters)
{
    const ProcessResult result = consoleTestProgram(L"binary 100000 hex 0A text end-of-noise long-line 10485760");
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0u);
    std::vector<std::wstring> lines = result.lines();
    lines.pop_back();  // "Process exited with code: 0"
    size_t pieces = 0;
    size_t characters = 0;
    bool afterNoise = false;
    for (const std::wstring& line : lines) {
        if (line == L"end-of-noise") {
            afterNoise = true;
            continue;
        }
        if (afterNoise) {
            ++pieces;
            characters += line.size();
            EXPECT_EQ(line.find_first_not_of(L'x'), std::wstring::npos);
        }
    }
    EXPECT_TRUE(afterNoise);
    EXPECT_GT(pieces, 1u);
    EXPECT_EQ(characters, 10485760u);
}

TEST_F(ConsoleMode, PassesAnArgumentStringOf40000CharactersWholeOrRefusesItClearly)
{
    // Windows refuses command lines over 32767 characters; Wine takes them.
    const ProcessResult result = consoleTestProgram(L"text " + std::wstring(40000, L'a'));
    ASSERT_TRUE(result.finished);
    size_t received = 0;
    bool refused = false;
    for (const std::wstring& line : result.lines()) {
        refused = refused || line.rfind(L"Command line of " + helperPath(L"hwtestprog.exe") +
                                            L" is too long for CreateProcess (40", 0) == 0;
        if (!line.empty() && line.find_first_not_of(L'a') == std::wstring::npos) {
            received += line.size();
        }
    }
    if (result.exitCode == 0) {
        EXPECT_EQ(received, 40000u);
    } else {
        EXPECT_EQ(result.exitCode, 1u);
        EXPECT_TRUE(refused);
    }
}

TEST_F(ConsoleMode, CopiesExpandableSystemVariablesUnexpanded)
{
    const SystemVariable variable(L"HOSTWELL_CONSOLE_TEST", REG_EXPAND_SZ, L"%SystemRoot%\\x");
    const ProcessResult result = console(helperPath(L"hwtestprog.exe"), L"env HOSTWELL_CONSOLE_TEST",
                                         L"<copySystemEnvironmentVariables><variable>HOSTWELL_CONSOLE_TEST</variable>"
                                         L"</copySystemEnvironmentVariables>");
    EXPECT_TRUE(result.hasLine(L"HOSTWELL_CONSOLE_TEST=%SystemRoot%\\x")) << toUtf8(result.output());
}

TEST_F(ConsoleMode, ReadsEveryLineInAConfiguredCodePage)
{
    const ProcessResult result = console(helperPath(L"hwtestprog.exe"), L"hex CFF0E8E2E5F20A hex D0BF0A",
                                         L"<output-encoding>1251</output-encoding>");
    EXPECT_TRUE(result.hasLine(L"\u041f\u0440\u0438\u0432\u0435\u0442")) << toUtf8(result.output());
    // Bytes that would be UTF-8 are read in the given code page too.
    EXPECT_TRUE(result.hasLine(L"\u0420\u0457"));
}

TEST_F(ConsoleMode, ReadsUtf16OutputLineByLine)
{
    // "Hi" CR LF, then U+1F600 split over two writes, a line feed and a last line without one.
    const ProcessResult result = console(helperPath(L"hwtestprog.exe"),
                                         L"hex 480069000D000A00 hex 3DD8 hex 00DE0A00 hex E400",
                                         L"<output-encoding>utf-16</output-encoding>");
    EXPECT_TRUE(result.hasLine(L"Hi")) << toUtf8(result.output());
    EXPECT_TRUE(result.hasLine(L"\U0001F600"));
    EXPECT_TRUE(result.hasLine(L"\u00e4"));
    EXPECT_EQ(result.output().find(L'\0'), std::wstring::npos);
}
