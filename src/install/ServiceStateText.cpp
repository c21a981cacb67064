#include "install/ServiceStateText.h"

#include "common/Format.h"
#include "logging/ErrorText.h"

std::wstring serviceStateName(DWORD state)
{
    switch (state) {
    case SERVICE_STOPPED: return L"STOPPED";
    case SERVICE_START_PENDING: return L"START_PENDING";
    case SERVICE_STOP_PENDING: return L"STOP_PENDING";
    case SERVICE_RUNNING: return L"RUNNING";
    case SERVICE_CONTINUE_PENDING: return L"CONTINUE_PENDING";
    case SERVICE_PAUSE_PENDING: return L"PAUSE_PENDING";
    case SERVICE_PAUSED: return L"PAUSED";
    default: return format(L"in state %lu", state);
    }
}

std::wstring exitCodesText(const SERVICE_STATUS_PROCESS& status)
{
    return format(L"exit code %lu, service-specific exit code %lu", status.dwWin32ExitCode,
                  status.dwServiceSpecificExitCode);
}

std::wstring serviceStatusText(const std::wstring& serviceName, const SERVICE_STATUS_PROCESS& status)
{
    const std::wstring text = format(L"Service %s is %s", serviceName, serviceStateName(status.dwCurrentState));
    if (status.dwCurrentState == SERVICE_STOPPED) {
        return text + L", " + exitCodesText(status);
    }
    if (status.dwProcessId != 0) {
        return text + format(L", process id %lu", status.dwProcessId);
    }
    return text;
}

std::wstring exitCodeMeaning(DWORD win32ExitCode)
{
    if (win32ExitCode == ERROR_SUCCESS) {
        return std::wstring();
    }
    if (win32ExitCode == ERROR_SERVICE_SPECIFIC_ERROR) {
        return L"Exit code 1066: the program ended without a stop request or could not be run; the "
               L"service-specific exit code is the program's exit code, or Hostwell's reason (see its log)";
    }
    return errorText(win32ExitCode);
}
