#include "support/TestService.h"

#include <gtest/gtest.h>

#include "common/Format.h"
#include "common/TextConversion.h"
#include "support/ProcessRunner.h"

TestService::TestService(const std::wstring& name, const std::wstring& hostwellArguments)
    : TestService(name, hostwellPath(), hostwellArguments)
{
}

TestService::TestService(const std::wstring& name, const std::wstring& executable, const std::wstring& arguments)
    : name_(name)
{
    manager_.reset(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager_) {
        ADD_FAILURE() << "The service control manager could not be opened: " << GetLastError();
    }
    const std::wstring binaryPath = L"\"" + executable + L"\" " + arguments;
    service_.reset(CreateServiceW(manager_.get(), name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                                  SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                  binaryPath.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    // Else start() would only say that the handle is invalid (6).
    if (!service_) {
        ADD_FAILURE() << "The service " << toUtf8(name) << " could not be registered: " << GetLastError();
    }
}

TestService::TestService(const std::wstring& name) : name_(name), owned_(false) { open(); }

void TestService::open()
{
    manager_.reset(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    service_.reset(OpenServiceW(manager_.get(), name_.c_str(), SERVICE_ALL_ACCESS));
}

TestService::~TestService()
{
    if (!service_) {
        return;
    }
    const SERVICE_STATUS_PROCESS current = status();
    // A service whose process was killed takes no stop request any more.
    if (current.dwCurrentState != SERVICE_STOPPED && requestStop()) {
        waitFor(SERVICE_STOPPED);
    }
    if (current.dwProcessId != 0) {
        waitForProcessEnd(current.dwProcessId);
    }
    if (owned_) {
        DeleteService(service_.get());
    }
}

bool TestService::start()
{
    startError_ = 0;
    if (!StartServiceW(service_.get(), 0, nullptr)) {
        startError_ = GetLastError();
        return false;
    }
    return true;
}

bool TestService::requestStop()
{
    SERVICE_STATUS ignored;
    return ControlService(service_.get(), SERVICE_CONTROL_STOP, &ignored) != FALSE;
}

SERVICE_STATUS_PROCESS TestService::status() const
{
    SERVICE_STATUS_PROCESS current = {};
    DWORD needed = 0;
    QueryServiceStatusEx(service_.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&current),
                         sizeof current, &needed);
    return current;
}

SERVICE_STATUS_PROCESS TestService::waitFor(DWORD state, DWORD timeoutMs) const
{
    const DWORD begin = GetTickCount();
    SERVICE_STATUS_PROCESS current = status();
    while (current.dwCurrentState != state && GetTickCount() - begin < timeoutMs) {
        Sleep(20);
        current = status();
    }
    return current;
}

std::wstring TestService::uniqueName(const std::wstring& prefix)
{
    static int counter = 0;
    // Wine gives the ids of ended processes to new ones: the start time keeps
    // a name apart from one that a test program which crashed left registered.
    static const unsigned long started = static_cast<unsigned long>(GetTickCount64() % 1000000);
    return format(L"%s%lu_%lu_%d", prefix, GetCurrentProcessId(), started, ++counter);
}

bool isProcessAlive(DWORD processId)
{
    UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, processId));
    return process && WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}

bool waitForProcessEnd(DWORD processId, DWORD timeoutMs)
{
    UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, processId));
    return !process || WaitForSingleObject(process.get(), timeoutMs) == WAIT_OBJECT_0;
}
