#pragma once

#include <windows.h>

#include <string>

// Reads the status of a service; false, after logging why, when it cannot.
bool queryServiceStatus(SC_HANDLE service, const std::wstring& serviceName, SERVICE_STATUS_PROCESS& status);

// Waits for a service to reach a state, polling its status until a deadline
// that counts from construction.
class ServiceStateWait {
public:
    ServiceStateWait(SC_HANDLE service, std::wstring serviceName, DWORD seconds);

    // Polls until the service is in `state` or stopped, or the time is up; the
    // status then. False when the status cannot be read.
    bool until(DWORD state, SERVICE_STATUS_PROCESS& status) const;

private:
    SC_HANDLE service_;
    std::wstring serviceName_;
    ULONGLONG deadline_;
};
