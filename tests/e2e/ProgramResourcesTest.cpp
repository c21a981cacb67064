#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/TextConversion.h"
#include "support/LogText.h"
#include "support/ServiceTestCase.h"
#include "support/TestService.h"

// What the program may use, as the program itself sees it under Wine's
// service control manager.

using ProgramResources = ServiceTestCase;

TEST_F(ProgramResources, PriorityAndProcessorsReachTheProgramItsJobLimitsStartAndAMissingProcessorIsRefused)
{
    writeSettings(L"placement sleep 600000", L"<priority>below-normal</priority><affinity>0</affinity>"
                                             L"<limits memory='512MB' cpu='50%' processes='20'/>");
    {
        TestService service(name, hostwellArguments());
        ASSERT_TRUE(service.start()) << service.startError();
        waitForLogLine(L"affinity mask");
        EXPECT_EQ(infoMessagesOf(retainedLog(), L"console"),
                  std::vector<std::wstring>{L"priority class 0x4000 affinity mask 0x1"});
        EXPECT_EQ(service.status().dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
        // Wine refuses the CPU rate of a job (Windows takes it from Windows 8 on); the memory and
        // process limits it takes.
        EXPECT_TRUE(logHas(L"[Warn] The limit cpu=\"50%\" of <hostwell>/<execution>/<limits> is not applied: "))
            << toUtf8(retainedLog());
        EXPECT_FALSE(logHas(L"The limits memory=512MB processes=20")) << toUtf8(retainedLog());
        ASSERT_TRUE(service.requestStop());
        EXPECT_EQ(service.waitFor(SERVICE_STOPPED).dwWin32ExitCode, 0u);
    }

    // Processor 63 is on no machine that runs these tests.
    writeSettings(L"text started", L"<affinity>0,63</affinity>");
    TestService service(name, hostwellArguments());
    service.start();
    const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED);
    EXPECT_EQ(stopped.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_TRUE(logHas(L"[Error] <hostwell>/<execution>/<affinity> names processor(s) 63, which this machine does "
                       L"not have: it has processors 0"))
        << toUtf8(retainedLog());
    EXPECT_EQ(infoMessagesOf(retainedLog(), L"console").size(), 1u) << "the program ran without its processors";
}
