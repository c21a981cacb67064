#include "install/StartServiceCommand.h"

#include <string>

#include "install/ServiceStateText.h"
#include "install/ServiceStateWait.h"
#include "logging/ErrorText.h"
#include "logging/Logger.h"
#include "settings/SettingsInterfaces.h"

namespace {

const Logger logger(L"StartServiceCommand");

bool requestStart(SC_HANDLE service, const std::wstring& name)
{
    logger.debug(L"Starting %s service", name);
    if (StartServiceW(service, 0, nullptr)) {
        return true;
    }
    const DWORD code = GetLastError();
    // Started by someone else in the meantime: waiting for it is all that is
    // left. Windows says the same of a service that began to stop in the
    // meantime (Wine starts it instead, so no test here shows this).
    SERVICE_STATUS_PROCESS status = {};
    if (code == ERROR_SERVICE_ALREADY_RUNNING && queryServiceStatus(service, name, status)) {
        if (status.dwCurrentState != SERVICE_STOP_PENDING) {
            return true;
        }
        logger.error(L"Failed to start service %s: it is still stopping", name);
        return false;
    }
    logger.error(L"Failed to start service %s. %s", name, errorText(code));
    return false;
}

int reportStarted(const std::wstring& name, const SERVICE_STATUS_PROCESS& status, DWORD waitSeconds)
{
    if (status.dwCurrentState == SERVICE_RUNNING) {
        logger.info(serviceStatusText(name, status));
        return 0;
    }
    if (status.dwCurrentState == SERVICE_STOPPED) {
        logger.error(L"Service %s stopped while starting: %s", name, exitCodesText(status));
        const std::wstring meaning = exitCodeMeaning(status.dwWin32ExitCode);
        if (!meaning.empty()) {
            logger.error(meaning);
        }
        return 1;
    }
    logger.error(L"Service %s is not RUNNING after %s s: it is %s", name, std::to_wstring(waitSeconds),
                 serviceStateName(status.dwCurrentState));
    return 1;
}

}  // namespace

StartServiceCommand::StartServiceCommand(const ServiceSettings& settings, DWORD waitSeconds)
    : ServiceCommand(SERVICE_RIGHTS_START, settings), waitSeconds_(waitSeconds)
{
}

int StartServiceCommand::executeWithService(SC_HANDLE, SC_HANDLE service)
{
    const std::wstring name = settings().getServiceName();
    const ServiceStateWait wait(service, name, waitSeconds_);
    SERVICE_STATUS_PROCESS status = {};
    if (!queryServiceStatus(service, name, status)) {
        return 1;
    }
    // A service that is still stopping cannot be started yet.
    if (status.dwCurrentState == SERVICE_STOP_PENDING && !wait.until(SERVICE_STOPPED, status)) {
        return 1;
    }
    if (status.dwCurrentState == SERVICE_STOP_PENDING) {
        logger.error(L"Failed to start service %s: it is still stopping", name);
        return 1;
    }
    if (status.dwCurrentState == SERVICE_RUNNING) {
        logger.info(L"Service %s is already running", name);
        return 0;
    }
    if (status.dwCurrentState != SERVICE_START_PENDING && !requestStart(service, name)) {
        return 1;
    }
    if (waitSeconds_ == 0) {
        logger.info(L"Service %s was asked to start", name);
        return 0;
    }
    if (!wait.until(SERVICE_RUNNING, status)) {
        return 1;
    }
    return reportStarted(name, status, waitSeconds_);
}
