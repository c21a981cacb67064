#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>

#include <string>

#include "common/Format.h"
#include "common/TextConversion.h"
#include "support/ServiceTestCase.h"
#include "support/TestFiles.h"
#include "support/TestService.h"

// Readiness and health probes of a program that serves HTTP, under Wine's
// service control manager.

namespace {

// A port nobody listens on now, for the test program to serve on.
int freePort()
{
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    const SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size);
    closesocket(probe);
    return ntohs(address.sin_port);
}

class Health : public ServiceTestCase {
protected:
    const int port = freePort();
    const std::wstring address = format(L"127.0.0.1:%d", port);
    const std::wstring url = L"http://" + address + L"/health";
    const std::wstring control = dir.file(L"server");
    // The service runs, and the health check begins, only once the port
    // answers: however long the program takes to start, no probe finds it
    // not listening yet.
    const std::wstring readyOnceListening = L"<status-marker><tcp>" + address + L"</tcp></status-marker>";

    std::wstring serve(const std::wstring& before = L"") const
    {
        return before + format(L"serve-http %d ", port) + control;
    }

    // What the state file says of the program's health once the check has
    // said anything; "stopped" when the service stopped first.
    std::string firstVerdict(const TestService& service) const
    {
        for (int i = 0; i < 1500; ++i) {
            const std::string state = readBytes(log + L".state.json");
            for (const char* verdict : {"healthy", "failing", "unhealthy"}) {
                if (state.find("\"health\": \"" + std::string(verdict) + "\"") != std::string::npos) {
                    return verdict;
                }
            }
            if (service.status().dwCurrentState == SERVICE_STOPPED) {
                return "stopped";
            }
            Sleep(20);
        }
        return "nothing within 30 s";
    }
};

}  // namespace

TEST_F(Health, TheServiceRunsOnlyOnceThePortAnswersAndTheLimitNamesWhatDidNot)
{
    const std::wstring go = dir.file(L"go");
    writeSettings(serve(L"wait-file " + go + L" "), L"<status-marker timeout='60s'><tcp>" + address +
                                                       L"</tcp><http>" + url + L"</http></status-marker>");
    {
        TestService service(name, hostwellArguments());
        ASSERT_TRUE(service.start()) << service.startError();
        Sleep(1500);
        EXPECT_EQ(service.status().dwCurrentState, static_cast<DWORD>(SERVICE_START_PENDING));
        writeBytes(go, "x");
        EXPECT_EQ(service.waitFor(SERVICE_RUNNING).dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING))
            << toUtf8(retainedLog());
        EXPECT_TRUE(logHas(L"The program answers http " + url));
        ASSERT_TRUE(service.requestStop());
        EXPECT_EQ(service.waitFor(SERVICE_STOPPED).dwWin32ExitCode, 0u);
    }

    // The limit leaves a loaded machine time to start the program, which prints
    // its marker and listens at once: only the answer is named. A redirect is
    // not followed, though the address it names answers 200.
    writeBytes(control + L".302", "x");
    writeSettings(serve(), L"<status-marker timeout='5s'><started>serving</started><tcp>" + address +
                               L"</tcp><http>" + url + L"</http></status-marker>");
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED);
    EXPECT_EQ(stopped.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_EQ(stopped.dwServiceSpecificExitCode, 42u);
    EXPECT_TRUE(logHas(L"The program was not ready within 5s (http " + url + L": answered 302, a redirect, which is "
                       L"not followed: the address itself must answer 200 to 299); it is stopped and the service ends"))
        << toUtf8(retainedLog());
}

TEST_F(Health, AProgramThatStopsAnsweringIsRestartedOrEndsTheServiceWith1460)
{
    {
        // Answers come at once; the time limit only keeps a slow one from counting as none.
        writeSettings(serve(), readyOnceListening +
                                   L"<health interval='200ms' timeout='10s' failures='2'><http>" + url +
                                   L"</http></health><restart when='failure' delay='100ms'/>");
        TestService service(name, hostwellArguments());
        ASSERT_TRUE(service.start()) << service.startError();
        ASSERT_EQ(service.waitFor(SERVICE_RUNNING).dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
        writeBytes(control + L".503", "x");
        waitForLogLine(L"The program did not answer http " + url +
                       L": 2 probes failed, the last: answered 503; it is stopped and restarted as <restart> says");
        DeleteFileW((control + L".503").c_str());
        waitForLogLine(L"restart 1 in 100ms");
        EXPECT_TRUE(logHas(L"Process exited with code: 42"));
        EXPECT_EQ(service.status().dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
        ASSERT_TRUE(service.requestStop());
        EXPECT_EQ(service.waitFor(SERVICE_STOPPED).dwWin32ExitCode, 0u);
    }

    // A server that takes the connection and never answers; no restart.
    writeBytes(control + L".hang", "x");
    writeSettings(serve(), readyOnceListening + L"<health interval='200ms' timeout='300ms' failures='2'><http>" +
                               url + L"</http></health>");
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED);
    EXPECT_EQ(stopped.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_EQ(stopped.dwServiceSpecificExitCode, static_cast<DWORD>(ERROR_TIMEOUT));
    EXPECT_TRUE(logHas(L"2 probes failed, the last: timed out")) << toUtf8(retainedLog());
    EXPECT_TRUE(logHas(L"it is stopped and the service ends, since no <restart> is set"));
    // status shows what the health check said last.
    EXPECT_NE(readBytes(log + L".state.json").find("\"health\": \"unhealthy\""), std::string::npos);
}

TEST_F(Health, AStopDuringAProbeEndsItAtOnce)
{
    writeBytes(control + L".hang", "x");
    writeSettings(serve(), readyOnceListening + L"<health interval='100ms' timeout='10m'><http>" + url +
                               L"</http></health>");
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    // The first probe has asked and waits for an answer that never comes.
    waitForFile(control + L".asked");
    ASSERT_TRUE(service.requestStop());
    // Within waitFor's 30 s, not the probe's 10 minutes.
    const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED);
    EXPECT_EQ(stopped.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(stopped.dwWin32ExitCode, 0u);
}

TEST_F(Health, TheFirstProbeComesAfterTheGracePeriod)
{
    // The program answers only two seconds after the service runs.
    const std::wstring go = dir.file(L"go");
    writeSettings(serve(L"wait-file " + go + L" "),
                  L"<health interval='500ms' timeout='10s' failures='1' grace='5s'><http>" + url +
                      L"</http></health><restart when='failure' delay='100ms'/>");
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    ASSERT_EQ(service.waitFor(SERVICE_RUNNING).dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    Sleep(2000);
    writeBytes(go, "x");
    EXPECT_EQ(firstVerdict(service), "healthy") << toUtf8(retainedLog());
    EXPECT_FALSE(logHas(L"restart 1")) << toUtf8(retainedLog());
}

TEST_F(Health, AProbeHasTheTimeoutOfTheHealthCheck)
{
    const auto verdictOnAnAnswerAfter = [this](const std::wstring& timeout, const char* milliseconds) {
        writeBytes(control + L".slow", milliseconds);
        DeleteFileW((log + L".state.json").c_str());
        writeSettings(serve(), readyOnceListening + L"<health interval='200ms' timeout='" + timeout +
                                   L"' failures='1'><http>" + url + L"</http></health>");
        TestService service(name, hostwellArguments());
        EXPECT_TRUE(service.start()) << service.startError();
        return firstVerdict(service);
    };
    EXPECT_EQ(verdictOnAnAnswerAfter(L"1s", "1500"), "unhealthy") << toUtf8(retainedLog());
    EXPECT_EQ(verdictOnAnAnswerAfter(L"5s", "3000"), "healthy") << toUtf8(retainedLog());
}
