#pragma once

#include <windows.h>

#include <string>

// The state as the service control manager's constants name it: RUNNING,
// STOP_PENDING, ...
std::wstring serviceStateName(DWORD state);

// "exit code 1066, service-specific exit code 7"
std::wstring exitCodesText(const SERVICE_STATUS_PROCESS& status);

// "Service Svc is RUNNING, process id 1234", or with the exit codes when it
// is stopped.
std::wstring serviceStatusText(const std::wstring& serviceName, const SERVICE_STATUS_PROCESS& status);

// What the exit code of a stopped service means; empty for 0.
std::wstring exitCodeMeaning(DWORD win32ExitCode);
