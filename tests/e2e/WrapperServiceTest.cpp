#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "common/TextConversion.h"
#include "support/ProcessRunner.h"
#include "support/TestFiles.h"
#include "support/TestService.h"

// A service registered the way a JavaServiceWrapper installer registers it:
// "<bin>\Hostwell.exe" -s ..\conf\wrapper.conf. The service control manager
// starts it in the system folder, so both relative paths must be resolved
// from the files, not from the current folder.

namespace {

void waitForFile(const std::wstring& path)
{
    for (int i = 0; i < 1500 && !fileExists(path); ++i) {
        Sleep(20);
    }
    EXPECT_TRUE(fileExists(path)) << "the file " << toUtf8(path) << " did not appear within 30 s";
}

}  // namespace

TEST(WrapperService, StartsFromTheWrapperConfigurationAndRunsTheMarkedSettings)
{
    TemporaryDirectory dir;
    CreateDirectoryW(dir.file(L"bin").c_str(), nullptr);
    CreateDirectoryW(dir.file(L"conf").c_str(), nullptr);
    const std::wstring hostwell = dir.file(L"bin\\Hostwell.exe");
    ASSERT_TRUE(CopyFileW(hostwellPath().c_str(), hostwell.c_str(), FALSE));

    const std::wstring name = TestService::uniqueName(L"HwWrapperTest");
    const std::wstring pid = dir.file(L"program.pid");
    writeUtf8(dir.file(L"conf\\wrapper.conf"),
              L"wrapper.java.command=java\n"
              L"wrapper.app.parameter.1=org.example.Main\n"
              L"# ###!!! Hostwell: service.xml !!!###\n"
              L"wrapper.logfile=../logs/wrapper.log\n");
    writeUtf8(dir.file(L"conf\\service.xml"),
              L"<hostwell><name>" + name + L"</name><description>d</description>"
              L"<service-logging level='info' file='..\\logs\\service.log'/>"
              L"<execution><program>" + helperPath(L"hwtestprog.exe") + L"</program><arguments>write-pid " + pid +
                  L" text working sleep 600000</arguments></execution></hostwell>");

    TestService service(name, hostwell, L"-s ..\\conf\\wrapper.conf");
    ASSERT_TRUE(service.start()) << service.startError();
    EXPECT_EQ(service.waitFor(SERVICE_RUNNING).dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    waitForFile(pid);
    ASSERT_TRUE(fileExists(pid));
    const DWORD program = static_cast<DWORD>(std::stoul(readBytes(pid)));
    EXPECT_TRUE(isProcessAlive(program));

    ASSERT_TRUE(service.requestStop());
    const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED);
    EXPECT_EQ(stopped.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(stopped.dwWin32ExitCode, 0u);
    EXPECT_FALSE(isProcessAlive(program));
    const std::wstring log = readUtf8(dir.file(L"logs\\service.log"));
    EXPECT_NE(log.find(L"console                           [Info] working"), std::wstring::npos);
}
