#include "install/QueryServiceStatusCommand.h"

#include <string>

#include "install/ServiceStateText.h"
#include "install/ServiceStateWait.h"
#include "logging/Logger.h"
#include "settings/SettingsInterfaces.h"

namespace {

const Logger logger(L"QueryServiceStatusCommand");

// As in the status command of init scripts: 3 means "not running".
const int NOT_RUNNING = 3;

}  // namespace

QueryServiceStatusCommand::QueryServiceStatusCommand(const ServiceSettings& settings)
    : ServiceCommand(SERVICE_RIGHTS_QUERY_STATUS, settings)
{
}

int QueryServiceStatusCommand::executeWithService(SC_HANDLE, SC_HANDLE service)
{
    const std::wstring name = settings().getServiceName();
    SERVICE_STATUS_PROCESS status = {};
    if (!queryServiceStatus(service, name, status)) {
        return 1;
    }
    logger.info(serviceStatusText(name, status));
    if (status.dwCurrentState == SERVICE_STOPPED) {
        const std::wstring meaning = exitCodeMeaning(status.dwWin32ExitCode);
        if (!meaning.empty()) {
            logger.info(meaning);
        }
    }
    return status.dwCurrentState == SERVICE_RUNNING ? 0 : NOT_RUNNING;
}
