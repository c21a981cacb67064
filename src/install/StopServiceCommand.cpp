#include "install/StopServiceCommand.h"

#include <string>

#include "install/ServiceStateText.h"
#include "install/ServiceStateWait.h"
#include "logging/ErrorText.h"
#include "logging/Logger.h"
#include "settings/SettingsInterfaces.h"

namespace {

const Logger logger(L"StopServiceCommand");

bool requestStop(SC_HANDLE service, const std::wstring& name)
{
    logger.debug(L"Stopping %s service", name);
    SERVICE_STATUS ignored;
    if (ControlService(service, SERVICE_CONTROL_STOP, &ignored)) {
        return true;
    }
    const DWORD code = GetLastError();
    // Stopped by itself in the meantime: waiting finds it stopped.
    if (code == ERROR_SERVICE_NOT_ACTIVE) {
        return true;
    }
    logger.error(L"Failed to stop service %s. %s", name, errorText(code));
    return false;
}

}  // namespace

StopServiceCommand::StopServiceCommand(const ServiceSettings& settings, DWORD waitSeconds)
    : ServiceCommand(SERVICE_RIGHTS_STOP, settings), waitSeconds_(waitSeconds)
{
}

int StopServiceCommand::executeWithService(SC_HANDLE, SC_HANDLE service)
{
    const std::wstring name = settings().getServiceName();
    const ServiceStateWait wait(service, name, waitSeconds_);
    SERVICE_STATUS_PROCESS status = {};
    if (!queryServiceStatus(service, name, status)) {
        return 1;
    }
    if (status.dwCurrentState == SERVICE_STOPPED) {
        logger.info(L"Service %s is already stopped", name);
        return 0;
    }
    if (status.dwCurrentState != SERVICE_STOP_PENDING && !requestStop(service, name)) {
        return 1;
    }
    if (waitSeconds_ == 0) {
        logger.info(L"Service %s was asked to stop", name);
        return 0;
    }
    if (!wait.until(SERVICE_STOPPED, status)) {
        return 1;
    }
    if (status.dwCurrentState != SERVICE_STOPPED) {
        logger.error(L"Service %s is not STOPPED after %s s: it is %s", name, std::to_wstring(waitSeconds_),
                     serviceStateName(status.dwCurrentState));
        return 1;
    }
    logger.info(serviceStatusText(name, status));
    return 0;
}
