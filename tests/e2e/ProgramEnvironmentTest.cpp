#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "common/TextConversion.h"
#include "support/ServiceTestCase.h"
#include "support/SystemVariable.h"
#include "support/TestService.h"

// What the program and its stop command get from the settings besides their
// command lines: their environment and how their output is read.

using ServiceRun = ServiceTestCase;

TEST_F(ServiceRun, ReadsUtf8AndOemOutputRightAndGivesProgramAndStopCommandTheConfiguredEnvironment)
{
    const SystemVariable copied(L"HOSTWELL_ENVIRONMENT_TEST", REG_SZ, L"system");
    const std::wstring stopFile = dir.file(L"stop.flag");
    writeSettings(L"hex C3BCC3A90A hex 81820A hex 73706C6974C3 sleep 300 hex BC0A "
                  L"env HW_OPTS env PATH env HW_CHAIN env HOSTWELL_ENVIRONMENT_TEST wait-file " + stopFile + L" exit 0",
                  stopCommand(L"hex 73746F70C3BC0A env HW_CHAIN touch " + stopFile) +
                      L"<copySystemEnvironmentVariables><variable>HOSTWELL_ENVIRONMENT_TEST</variable>"
                      L"</copySystemEnvironmentVariables>"
                      L"<environment>"
                      L"<variable name='HW_OPTS' value='-Xmx512m'/>"
                      L"<variable name='PATH' value='C:\\hw-tools;%PATH%'/>"
                      L"<variable name='HW_CHAIN' value='%hostwell_environment_test%+%HW_OPTS%+%HW_UNKNOWN%'/>"
                      L"<variable name='hw_opts' value='-Xmx1g'/>"
                      L"<variable name='Hostwell_Environment_Test' value=''/>"
                      L"</environment>");
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    service.waitFor(SERVICE_RUNNING);
    waitForLogLine(L"[Info] HOSTWELL_ENVIRONMENT_TEST");
    ASSERT_TRUE(service.requestStop());
    EXPECT_EQ(service.waitFor(SERVICE_STOPPED).dwWin32ExitCode, 0u);

    const std::wstring text = retainedLog();
    const auto lines = [&text](const std::wstring& logger, const std::wstring& message) {
        const std::wstring line = logger + std::wstring(34 - logger.size(), L' ') + L"[Info] " + message + L"\r\n";
        int found = 0;
        for (size_t at = text.find(line); at != std::wstring::npos; at = text.find(line, at + 1)) {
            ++found;
        }
        return found;
    };
    // The same two characters written as UTF-8 and in the OEM code page (437)
    // that console programs write in without a console.
    EXPECT_EQ(lines(L"console", L"\u00fc\u00e9"), 2) << toUtf8(text);
    EXPECT_EQ(lines(L"console", L"split\u00fc"), 1);
    EXPECT_EQ(lines(L"stop_console", L"stop\u00fc"), 1);

    EXPECT_EQ(lines(L"console", L"HW_OPTS=-Xmx1g"), 1);
    EXPECT_EQ(lines(L"console", L"HW_CHAIN=system+-Xmx512m+%HW_UNKNOWN%"), 1);
    EXPECT_EQ(lines(L"stop_console", L"HW_CHAIN=system+-Xmx512m+%HW_UNKNOWN%"), 1);
    EXPECT_EQ(lines(L"console", L"HOSTWELL_ENVIRONMENT_TEST is not set"), 1);
    const size_t path = text.find(L"[Info] PATH=C:\\hw-tools;");
    ASSERT_NE(path, std::wstring::npos);
    const std::wstring rest = text.substr(path, text.find(L'\r', path) - path);
    EXPECT_EQ(rest.find(L"%PATH%"), std::wstring::npos) << toUtf8(rest);
    EXPECT_GT(rest.size(), std::wstring(L"[Info] PATH=C:\\hw-tools;").size()) << toUtf8(rest);
    EXPECT_EQ(text.find(L"Unknown "), std::wstring::npos);
}
