#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/Format.h"
#include "common/TextConversion.h"
#include "support/LogText.h"
#include "support/ProcessRunner.h"
#include "support/ServiceTestCase.h"
#include "support/TestService.h"

// Faults while the service runs: it must reach a correct state, report
// failures as such, lose nothing written before the fault and leave no
// process behind.

namespace {

using Fault = ServiceTestCase;

size_t fileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    return GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ? data.nFileSizeLow : 0;
}

}  // namespace

TEST_F(Fault, FiveMegabytesOfOutputLeaveFourWholeFilesInOrder)
{
    // With a log of 512 KB the output rolls it over more than a dozen times, in
    // a time a loaded machine needs only a fraction of the bound for.
    writeUtf8(settings, L"<hostwell><name>" + name + L"</name><description>d</description>"
                        L"<service-logging level='info' file='logs\\service.log' max-size='512KB'/>"
                        L"<execution><program>" + helperPath(L"hwtestprog.exe") +
                            L"</program><arguments>lines 50000 exit 0</arguments></execution></hostwell>");
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED, 240000);
    ASSERT_EQ(stopped.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    waitForProcessEnd(stopped.dwProcessId);

    const size_t maxSize = 524288;
    const size_t maxRecord = 200;
    for (const wchar_t* suffix : {L".1", L".2", L".3"}) {
        EXPECT_GE(fileSize(log + suffix), maxSize);
        EXPECT_LE(fileSize(log + suffix), maxSize + maxRecord);
    }
    EXPECT_LE(fileSize(log), maxSize + maxRecord);
    EXPECT_FALSE(fileExists(log + L".4"));
    EXPECT_FALSE(fileExists(log + L".1.tmp"));

    const std::vector<std::wstring> lines = infoMessagesOf(retainedLog(), L"console");
    ASSERT_GT(lines.size(), 9000u);
    const int first = std::stoi(lines.front().substr(5));
    for (size_t i = 0; i < lines.size(); ++i) {
        ASSERT_EQ(lines[i], format(L"line %08d ", first + static_cast<int>(i)) + std::wstring(85, L'x')) << i;
    }
    EXPECT_EQ(first + static_cast<int>(lines.size()) - 1, 50000);
}

TEST_F(Fault, ProgramCrashingAfterAMinutesWorkIsReportedWithNothingLost)
{
    writeSettings(L"lines 500 text \"worked a minute\" sleep 60000 text \"last words\" crash");
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED, 240000);
    EXPECT_EQ(stopped.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(stopped.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_EQ(stopped.dwServiceSpecificExitCode, static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));
    // Under Wine the crash report follows on standard error.
    const std::vector<std::wstring> lines = infoMessagesOf(retainedLog(), L"console");
    ASSERT_GE(lines.size(), 502u);
    for (int n = 1; n <= 500; ++n) {
        ASSERT_EQ(lines[static_cast<size_t>(n - 1)], format(L"line %08d ", n) + std::wstring(85, L'x'));
    }
    EXPECT_EQ(lines[500], L"worked a minute");
    EXPECT_EQ(lines[501], L"last words");
}

TEST_F(Fault, SettingsFileRemovedAfterStartDoesNotHinderTheStop)
{
    const std::wstring pid = dir.file(L"program.pid");
    writeSettings(L"write-pid " + pid + L" ignore-ctrl sleep 600000");
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    service.waitFor(SERVICE_RUNNING);
    const DWORD program = readProcessId(pid);
    ASSERT_TRUE(DeleteFileW(settings.c_str()));
    service.requestStop();
    const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED);
    EXPECT_EQ(stopped.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(stopped.dwWin32ExitCode, 0u);
    EXPECT_FALSE(isProcessAlive(program));
}

TEST_F(Fault, ProgramClosingItsOutputKeepsRunningUntilStopped)
{
    const std::wstring pid = dir.file(L"program.pid");
    const std::wstring closed = dir.file(L"closed");
    writeSettings(L"write-pid " + pid + L" text \"before closing\" close-stdout touch " + closed +
                  L" ignore-ctrl sleep 600000");
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    service.waitFor(SERVICE_RUNNING);
    const DWORD program = readProcessId(pid);
    waitForFile(closed);
    Sleep(1500);  // time enough to mistake the end of the output for the end of the program
    EXPECT_EQ(service.status().dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_TRUE(isProcessAlive(program));
    service.requestStop();
    const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED);
    EXPECT_EQ(stopped.dwWin32ExitCode, 0u);
    EXPECT_FALSE(isProcessAlive(program));
    EXPECT_TRUE(logHas(L"console                           [Info] before closing"));
    EXPECT_TRUE(logHas(L"Process exited with code: 42"));
}

TEST_F(Fault, FiftyMegabytesWithoutLineFeedArriveInWholePieces)
{
    const std::wstring done = dir.file(L"written");
    writeSettings(L"text start long-line 52428800 touch " + done + L" ignore-ctrl sleep 600000", L"", L"info");
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    waitForFile(done, 240);
    service.requestStop();
    const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED, 240000);
    EXPECT_EQ(stopped.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(stopped.dwWin32ExitCode, 0u);
    waitForProcessEnd(stopped.dwProcessId);
    const std::vector<std::wstring> pieces = infoMessagesOf(retainedLog(), L"console");
    ASSERT_GT(pieces.size(), 100u);
    size_t characters = 0;
    for (const std::wstring& piece : pieces) {
        ASSERT_EQ(piece.find_first_not_of(L'x'), std::wstring::npos);
        ASSERT_LE(piece.size(), 4096u + 65536u);
        characters += piece.size();
    }
    // The retained files hold the newest part; the rest was rolled out by design.
    EXPECT_GT(characters, 8000000u);
    EXPECT_FALSE(fileExists(log + L".4"));
}

TEST_F(Fault, ReadOnlyLogFolderNeitherStopsTheServiceNorLosesLines)
{
    const std::wstring go = dir.file(L"go");
    writeSettings(L"text first wait-file " + go + L" lines 50000 text last ignore-ctrl sleep 600000", L"", L"info");
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    service.waitFor(SERVICE_RUNNING);
    const std::wstring folder = dir.file(L"logs");
    ASSERT_TRUE(SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_READONLY));
    writeBytes(go, "x");
    // Each look reads megabytes: not too often.
    for (int i = 0; i < 960 && !logHas(L"[Info] last"); ++i) {
        Sleep(250);
    }
    EXPECT_TRUE(logHas(L"[Info] last")) << "the program's last line was not logged within 240 s";
    EXPECT_EQ(service.status().dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    service.requestStop();
    EXPECT_EQ(service.waitFor(SERVICE_STOPPED).dwWin32ExitCode, 0u);
    SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
    const std::vector<std::wstring> lines = infoMessagesOf(retainedLog(), L"console");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), L"last");
    // Whatever the folder allows, what is kept runs on without a gap.
    const size_t firstNumbered = lines.front() == L"first" ? 1 : 0;
    const int first = std::stoi(lines[firstNumbered].substr(5));
    for (size_t i = firstNumbered; i + 1 < lines.size(); ++i) {
        ASSERT_EQ(lines[i], format(L"line %08d ", first + static_cast<int>(i - firstNumbered)) + std::wstring(85, L'x'));
    }
    EXPECT_EQ(first + static_cast<int>(lines.size() - 1 - firstNumbered) - 1, 50000);
}
