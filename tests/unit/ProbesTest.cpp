#include <gtest/gtest.h>

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "common/Json.h"
#include "common/TextConversion.h"
#include "common/UniqueResource.h"
#include "process/ChildProcess.h"
#include "process/ServiceStatusUpdater.h"
#include "service/HealthMonitor.h"
#include "service/HttpProbe.h"
#include "service/ProgramState.h"
#include "service/ServiceStatus.h"
#include "service/StatusValue.h"
#include "service/TcpProbe.h"
#include "settings/SimpleSettings.h"
#include "support/BoundedCall.h"

// The probes' decisions that need no program: what a TCP probe connects to,
// what WinHTTP callbacks may still do, what a new run of the program owes the last.

namespace {

struct Listener {
    SOCKET socket = INVALID_SOCKET;
    unsigned short port = 0;

    Listener()
    {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = loopback(L"127.0.0.1", 0);
        int size = sizeof address;
        bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(socket, 8);
        getsockname(socket, reinterpret_cast<sockaddr*>(&address), &size);
        port = ntohs(address.sin_port);
    }
    ~Listener() { closesocket(socket); }

    static sockaddr_in loopback(const wchar_t* text, unsigned short port)
    {
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        InetPtonW(AF_INET, text, &address.sin_addr);
        return address;
    }
};

SocketAddress socketAddress(const wchar_t* text, unsigned short port)
{
    SocketAddress address = {};
    const sockaddr_in in = Listener::loopback(text, port);
    memcpy(&address.storage, &in, sizeof in);
    address.length = sizeof in;
    return address;
}

// Takes the probe's steps until its answer is in; each step has 10 s.
bool answer(Probe& probe)
{
    if (!probe.begin()) {
        return false;
    }
    for (int step = 0; step < 10; ++step) {
        if (WaitForSingleObject(probe.event(), 10000) != WAIT_OBJECT_0) {
            ADD_FAILURE() << "the probe's event was not set within 10 s";
            return false;
        }
        if (probe.advance()) {
            return probe.finish();
        }
    }
    ADD_FAILURE() << "the probe took more than 10 steps";
    return false;
}

ProbeTarget tcpTarget(const std::wstring& host, unsigned short port)
{
    ProbeTarget target;
    target.host = host;
    target.port = port;
    target.text = host + L":" + std::to_wstring(port);
    return target;
}

std::atomic<int> receives{0};
std::atomic<int> queries{0};
std::atomic<int> closes{0};
std::atomic<bool> receiveBlocks{false};
std::atomic<bool> receiveReturned{false};
std::atomic<bool> closedWhileReceiving{false};
HANDLE receiveEntered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
HANDLE receiveRelease = CreateEventW(nullptr, TRUE, FALSE, nullptr);

BOOL WINAPI countReceive(HINTERNET, LPVOID)
{
    ++receives;
    receiveReturned = false;
    if (receiveBlocks) {
        SetEvent(receiveEntered);
        WaitForSingleObject(receiveRelease, INFINITE);
    }
    receiveReturned = true;
    return TRUE;
}

BOOL WINAPI answer204(HINTERNET, DWORD, LPCWSTR, LPVOID buffer, LPDWORD, LPDWORD)
{
    ++queries;
    *static_cast<DWORD*>(buffer) = 204;
    return TRUE;
}

BOOL WINAPI countClose(HINTERNET)
{
    closedWhileReceiving = closedWhileReceiving || !receiveReturned;
    ++closes;
    return TRUE;
}

BOOL WINAPI acceptStatus(SERVICE_STATUS_HANDLE, LPSERVICE_STATUS) { return TRUE; }

struct NoLines : PipeReaderCallback {
    void onLine(const std::wstring&) override {}
};

std::wstring healthOf(const ProgramState& state)
{
    const auto scalars = readJsonScalars(state.json());
    return scalars && scalars->count(L"health") > 0 ? scalars->at(L"health").text : L"?";
}

// Hands the monitor what it waits for until the health it reports is no
// longer `from`; true when it had the program stopped on the way.
bool superviseUntilHealthLeaves(HealthMonitor& monitor, const ProgramState& state, const std::wstring& from)
{
    bool stop = false;
    for (int step = 0; step < 100 && healthOf(state) == from; ++step) {
        std::vector<HANDLE> handles;
        monitor.addHandles(handles);
        const DWORD waited =
            WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, 30000);
        if (waited >= WAIT_OBJECT_0 + handles.size()) {
            ADD_FAILURE() << "nothing the monitor waits for was set within 30 s";
            break;
        }
        stop = monitor.onSignalled(handles[waited - WAIT_OBJECT_0]) || stop;
    }
    return stop;
}

}  // namespace

TEST(TcpProbe, TriesEveryAddressOfTheNameInOrderAndLooksItUpWithoutHoldingTheCaller)
{
    // "localhost" as Windows resolves it: an address that refuses first, the listening one second.
    const Listener listener;
    std::vector<std::wstring> looked;
    const auto resolver = [&](const std::wstring& host, unsigned short port, std::vector<SocketAddress>& addresses) {
        looked.push_back(host);
        addresses = {socketAddress(L"127.0.0.2", port), socketAddress(L"127.0.0.1", port)};
        return 0;
    };
    TcpProbe reached(tcpTarget(L"localhost", listener.port), resolver);
    EXPECT_TRUE(answer(reached)) << toUtf8(reached.error());
    EXPECT_EQ(looked, std::vector<std::wstring>{L"localhost"});

    const auto refusing = [](const std::wstring&, unsigned short port, std::vector<SocketAddress>& addresses) {
        addresses = {socketAddress(L"127.0.0.2", port), socketAddress(L"127.0.0.3", port)};
        return 0;
    };
    TcpProbe refused(tcpTarget(L"localhost", listener.port), refusing);
    EXPECT_FALSE(answer(refused));
    EXPECT_EQ(refused.error(), L"connection refused (10061)");

    const auto unknown = [](const std::wstring&, unsigned short, std::vector<SocketAddress>&) { return WSAHOST_NOT_FOUND; };
    TcpProbe notFound(tcpTarget(L"nowhere.invalid", 80), unknown);
    EXPECT_FALSE(answer(notFound));
    EXPECT_EQ(notFound.error().rfind(L"cannot find the host: ", 0), 0u) << toUtf8(notFound.error());

    // A resolver that never answers: beginning and abandoning the probe return at once.
    // Never closed: the abandoned lookup may still wait for it after the test.
    const HANDLE released = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const auto silent = [released](const std::wstring&, unsigned short, std::vector<SocketAddress>&) {
        WaitForSingleObject(released, INFINITE);
        return WSATRY_AGAIN;
    };
    TcpProbe waiting(tcpTarget(L"slow.example", 80), silent);
    EXPECT_TRUE(resultWithin(10, "beginning a probe whose name lookup does not answer", [&] { return waiting.begin(); }));
    EXPECT_EQ(WaitForSingleObject(waiting.event(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    callWithin(10, "abandoning a probe whose name lookup does not answer", [&] { waiting.cancel(); });
    SetEvent(released);
}

TEST(HttpProbe, NoCallbackUsesTheRequestOnceTheProbeHasClosedIt)
{
    WinHttp fake;
    fake.receiveResponse = countReceive;
    fake.queryHeaders = answer204;
    fake.closeHandle = countClose;
    auto* context = new HttpRequestContext(&fake);
    const DWORD_PTR value = reinterpret_cast<DWORD_PTR>(context);
    const HINTERNET request = reinterpret_cast<HINTERNET>(static_cast<uintptr_t>(0x1234));
    HttpRequestContext::onStatus(request, value, WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE, nullptr, 0);
    HttpRequestContext::onStatus(request, value, WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE, nullptr, 0);
    EXPECT_EQ(receives, 1);
    EXPECT_EQ(context->statusCode(), 204u);
    EXPECT_EQ(WaitForSingleObject(context->answered(), 0), WAIT_OBJECT_0);

    // A callback on WinHTTP's thread uses the request while the probe closes it.
    receiveBlocks = true;
    std::thread callback([&] {
        HttpRequestContext::onStatus(request, value, WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE, nullptr, 0);
    });
    ASSERT_EQ(WaitForSingleObject(receiveEntered, 30000), WAIT_OBJECT_0) << "the callback did not begin within 30 s";
    std::thread closer([&] { context->close(request); });
    Sleep(200);
    SetEvent(receiveRelease);
    callback.join();
    closer.join();
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(closedWhileReceiving) << "the request was closed while a callback used it";

    // Callbacks that come after the close leave the request alone.
    HttpRequestContext::onStatus(request, value, WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE, nullptr, 0);
    HttpRequestContext::onStatus(request, value, WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE, nullptr, 0);
    EXPECT_EQ(receives, 2);
    EXPECT_EQ(queries, 1);
    HttpRequestContext::onStatus(request, value, WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING, nullptr, 0);
}

TEST(HealthCheck, EachRunOfTheProgramStartsWithNoFailedProbesAndHealthStarting)
{
    unsigned short closedPort = 0;
    {
        const Listener gone;
        closedPort = gone.port;
    }
    SimpleServiceSettings service(L"Svc", L"Svc", L"d", L"");
    SimpleServiceTaskSettings settings(&service);
    HealthCheck check;
    check.target = tcpTarget(L"127.0.0.1", closedPort);
    check.interval = std::chrono::milliseconds(50);
    check.timeout = std::chrono::milliseconds(30000);
    check.failures = 2;
    settings.setHealthCheck(check);
    ServiceStatus status(nullptr, 0, acceptStatus);
    NoLines lines;
    DumpServiceStatsusUpdater updater(&status, &lines, 0);
    updater.reportRunningWithoutConditions();
    ProgramState state(L"");
    HealthMonitor monitor(settings, &updater);
    ASSERT_TRUE(monitor.isValid());
    monitor.reportTo(&state);
    const ChildProcess program(OpenProcess(SYNCHRONIZE, FALSE, GetCurrentProcessId()), nullptr);

    // The first run fails one probe of two and ends.
    monitor.onRunStarted(program);
    EXPECT_EQ(healthOf(state), L"starting");
    EXPECT_FALSE(superviseUntilHealthLeaves(monitor, state, L"starting"));
    EXPECT_EQ(healthOf(state), L"failing");
    monitor.onRunEnded();

    // One failure of the next run is one, not two.
    monitor.onRunStarted(program);
    EXPECT_EQ(healthOf(state), L"starting");
    EXPECT_FALSE(superviseUntilHealthLeaves(monitor, state, L"starting")) << "stopped after the run's first failure";
    EXPECT_EQ(healthOf(state), L"failing");
    monitor.onRunEnded();
    status.setStatus(StatusValue::STOPPED);
}
