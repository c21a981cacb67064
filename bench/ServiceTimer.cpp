// Registers Hostwell.exe as a service with the service control manager, runs
// it and times its state changes on the QueryPerformanceCounter clock. Every
// result is printed as a line "key=value"; the service is deleted at the end.
//
//   ServiceTimer.exe until-stopped <name> <Hostwell.exe> <settings file>
//       starts the service and waits until it has stopped by itself and its
//       process has ended: elapsed_ms, win32_exit_code, service_exit_code
//   ServiceTimer.exe start-stop <name> <Hostwell.exe> <settings file> <rounds>
//       per round: start_ms (StartService to RUNNING) and stop_ms (the stop
//       request to STOPPED)
//   ServiceTimer.exe idle <name> <Hostwell.exe> <settings file> <seconds>
//       starts the service, prints pid and "ready" once it has settled, and
//       keeps it running for the given time
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "common/UniqueResource.h"

namespace {

// Fine enough for latencies of tenths of a second, light on the control manager.
const DWORD POLL_INTERVAL = 5;
const double STATE_TIMEOUT_MS = 120000;

class Stopwatch {
public:
    Stopwatch() { QueryPerformanceCounter(&start_); }
    double milliseconds() const
    {
        LARGE_INTEGER now;
        LARGE_INTEGER frequency;
        QueryPerformanceCounter(&now);
        QueryPerformanceFrequency(&frequency);
        return 1000.0 * static_cast<double>(now.QuadPart - start_.QuadPart) / static_cast<double>(frequency.QuadPart);
    }

private:
    LARGE_INTEGER start_;
};

SERVICE_STATUS_PROCESS queryStatus(SC_HANDLE service)
{
    SERVICE_STATUS_PROCESS status = {};
    DWORD needed = 0;
    QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status, &needed);
    return status;
}

// Polls until the state is reached; false when it is not reached in time.
bool waitForState(SC_HANDLE service, DWORD state, SERVICE_STATUS_PROCESS& status)
{
    const Stopwatch waited;
    for (status = queryStatus(service); status.dwCurrentState != state; status = queryStatus(service)) {
        if (waited.milliseconds() > STATE_TIMEOUT_MS) {
            fprintf(stderr, "state %lu not reached; the service is in state %lu\n", state, status.dwCurrentState);
            return false;
        }
        Sleep(POLL_INTERVAL);
    }
    return true;
}

void waitForProcessEnd(DWORD processId, DWORD timeoutMs = 30000)
{
    UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, processId));
    if (process) {
        WaitForSingleObject(process.get(), timeoutMs);
    }
}

void stopAndWait(SC_HANDLE service)
{
    SERVICE_STATUS_PROCESS status = queryStatus(service);
    if (status.dwCurrentState == SERVICE_STOPPED) {
        return;
    }
    const DWORD processId = status.dwProcessId;
    SERVICE_STATUS ignored;
    ControlService(service, SERVICE_CONTROL_STOP, &ignored);
    waitForState(service, SERVICE_STOPPED, status);
    waitForProcessEnd(processId);
}

// A service left over from an interrupted run is removed first.
void removeLeftover(SC_HANDLE manager, const std::wstring& name)
{
    UniqueServiceHandle service(OpenServiceW(manager, name.c_str(), SERVICE_ALL_ACCESS));
    if (service) {
        stopAndWait(service.get());
        DeleteService(service.get());
    }
}

// The service is deleted when the object goes away, after a stop if it runs.
class BenchService {
public:
    BenchService(const std::wstring& name, const std::wstring& hostwell, const std::wstring& settings)
    {
        manager_.reset(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        if (!manager_) {
            fprintf(stderr, "OpenSCManager failed: %lu\n", GetLastError());
            return;
        }
        removeLeftover(manager_.get(), name);
        const std::wstring binaryPath = L"\"" + hostwell + L"\" hostwell \"/settings=" + settings + L"\"";
        service_.reset(CreateServiceW(manager_.get(), name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                                      SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                      binaryPath.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
        if (!service_) {
            fprintf(stderr, "CreateService failed: %lu\n", GetLastError());
        }
    }
    ~BenchService()
    {
        if (service_) {
            stopAndWait(service_.get());
            DeleteService(service_.get());
        }
    }
    BenchService(const BenchService&) = delete;
    BenchService& operator=(const BenchService&) = delete;

    explicit operator bool() const { return static_cast<bool>(service_); }
    SC_HANDLE get() const { return service_.get(); }

    bool start()
    {
        if (!StartServiceW(service_.get(), 0, nullptr)) {
            fprintf(stderr, "StartService failed: %lu\n", GetLastError());
            return false;
        }
        return true;
    }

private:
    UniqueServiceHandle manager_;
    UniqueServiceHandle service_;
};

int untilStopped(BenchService& service)
{
    const Stopwatch elapsed;
    if (!service.start()) {
        return 1;
    }
    // Waiting for the service's process, not polling its status all the
    // time, keeps the control manager out of the way of what is measured.
    SERVICE_STATUS_PROCESS status = queryStatus(service.get());
    waitForProcessEnd(status.dwProcessId, INFINITE);
    if (!waitForState(service.get(), SERVICE_STOPPED, status)) {
        return 1;
    }
    printf("elapsed_ms=%.3f\nwin32_exit_code=%lu\nservice_exit_code=%lu\n", elapsed.milliseconds(),
           status.dwWin32ExitCode, status.dwServiceSpecificExitCode);
    return 0;
}

int startStop(BenchService& service, int rounds)
{
    for (int round = 0; round < rounds; ++round) {
        SERVICE_STATUS_PROCESS status;
        const Stopwatch starting;
        if (!service.start() || !waitForState(service.get(), SERVICE_RUNNING, status)) {
            return 1;
        }
        printf("start_ms=%.3f\n", starting.milliseconds());
        const DWORD processId = status.dwProcessId;
        // Requests at times spread over half a second, so that no periodic
        // work of the wrapper's lines up with them.
        Sleep(1000 + static_cast<DWORD>(round * 500 / rounds));
        const Stopwatch stopping;
        SERVICE_STATUS ignored;
        if (!ControlService(service.get(), SERVICE_CONTROL_STOP, &ignored)) {
            fprintf(stderr, "ControlService failed: %lu\n", GetLastError());
            return 1;
        }
        if (!waitForState(service.get(), SERVICE_STOPPED, status)) {
            return 1;
        }
        printf("stop_ms=%.3f\n", stopping.milliseconds());
        fflush(stdout);
        waitForProcessEnd(processId);
    }
    return 0;
}

// Under Wine GetProcessTimes gives no times of another process, so the
// caller measures the idle service from outside while it runs.
int idle(BenchService& service, DWORD seconds)
{
    SERVICE_STATUS_PROCESS status;
    if (!service.start() || !waitForState(service.get(), SERVICE_RUNNING, status)) {
        return 1;
    }
    // The start-up is over before the idle period begins.
    Sleep(1000);
    printf("pid=%lu\nready\n", status.dwProcessId);
    fflush(stdout);
    Sleep(seconds * 1000);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t* argv[])
{
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    const bool counted = mode == L"start-stop" || mode == L"idle";
    if (!(mode == L"until-stopped" || counted) || argc != (counted ? 6 : 5)) {
        fprintf(stderr, "usage: ServiceTimer.exe until-stopped|start-stop|idle <name> <Hostwell.exe> "
                        "<settings file> [rounds|seconds]\n");
        return 2;
    }
    BenchService service(argv[2], argv[3], argv[4]);
    if (!service) {
        return 1;
    }
    if (mode == L"until-stopped") {
        return untilStopped(service);
    }
    const long count = wcstol(argv[5], nullptr, 10);
    if (mode == L"start-stop") {
        return startStop(service, static_cast<int>(count));
    }
    return idle(service, static_cast<DWORD>(count));
}
