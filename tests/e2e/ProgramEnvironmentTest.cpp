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

TEST_F(ServiceRun, AnEnvironmentFileIsReadAtEveryStartBeforeTheVariablesThatReferToItAndItsValuesAreNeverLogged)
{
    const std::wstring environment = dir.file(L"app.env");
    writeBytes(environment, "# the service's secrets\n\n  HW_PLAIN = plain value  \nHW_QUOTED=\"say \\\"hi\\\"\\\\ #not "
                            "a comment\" # a comment\nHW_SINGLE='C:\\new\\table'\nHW_SECRET=s3cr3t-1\n");
    const std::wstring gate = dir.file(L"gate.flag");
    // Each run prints its variables, then ends with 1 once the gate is there; one restart.
    writeSettings(L"env HW_PLAIN env HW_QUOTED env HW_SINGLE env HW_CHAIN text printed wait-file " + gate + L" exit 1",
                  L"<environment file='app.env'><variable name='HW_CHAIN' value='%HW_PLAIN%+%HW_SECRET%'/>"
                  L"</environment><output-log file='logs\\app.log'/>"
                  L"<restart when='failure' delay='100ms' max-restarts='1'/>");
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    const std::wstring app = dir.file(L"logs\\app.log");
    for (int i = 0; i < 1500 && readUtf8(app).find(L"printed") == std::wstring::npos; ++i) {
        Sleep(20);
    }
    ASSERT_NE(readUtf8(app).find(L"printed"), std::wstring::npos) << "the first run did not print its variables";
    // A changed secret reaches the next run.
    writeBytes(environment, "HW_PLAIN=changed\nHW_SECRET=s3cr3t-2\n");
    writeBytes(gate, "");
    ASSERT_EQ(service.waitFor(SERVICE_STOPPED).dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));

    EXPECT_EQ(readUtf8(app), L"HW_PLAIN=plain value\r\n"
                             L"HW_QUOTED=say \"hi\"\\ #not a comment\r\n"
                             L"HW_SINGLE=C:\\new\\table\r\n"
                             L"HW_CHAIN=plain value+s3cr3t-1\r\n"
                             L"printed\r\n"
                             L"HW_PLAIN=changed\r\n"
                             L"HW_QUOTED is not set\r\n"
                             L"HW_SINGLE is not set\r\n"
                             L"HW_CHAIN=changed+s3cr3t-2\r\n"
                             L"printed\r\n");
    // The service log is at debug level: names, never values.
    const std::wstring text = retainedLog();
    EXPECT_TRUE(logHas(L"Set environment variable HW_SECRET for process from " + environment)) << toUtf8(text);
    EXPECT_EQ(text.find(L"s3cr3t"), std::wstring::npos) << toUtf8(text);
}
