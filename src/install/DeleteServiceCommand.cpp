#include "install/DeleteServiceCommand.h"

#include "eventlog/EventSourceCommands.h"
#include "logging/ErrorText.h"
#include "logging/Logger.h"
#include "settings/SettingsInterfaces.h"

namespace {
const Logger logger(L"DeleteServiceCommand");
}

FailureMessage deleteServiceFailure(const std::wstring& text, DWORD code)
{
    if (code == ERROR_SERVICE_MARKED_FOR_DELETE) {
        return {LEVEL_WARN, format(L"%s Service is marked for delete.", text)};
    }
    return {LEVEL_WARN, format(L"%s %s", text, errorText(code))};
}

DeleteServiceCommand::DeleteServiceCommand(const ServiceSettings& settings)
    : ServiceCommand(SERVICE_RIGHTS_DELETE, settings)
{
}

int DeleteServiceCommand::executeWithService(SC_HANDLE, SC_HANDLE service)
{
    const std::wstring name = settings().getServiceName();
    logger.debug(L"Removing %s service", name);
    if (DeleteService(service)) {
        logger.info(L"Service '%s' will be removed", name);
        RemoveEventSourceCommand(name).execute();
        return 0;
    }
    const DWORD code = GetLastError();
    const FailureMessage failure = deleteServiceFailure(format(L"Failed to delete service %s.", name), code);
    logger.log(failure.level, failure.text);
    return 1;
}
