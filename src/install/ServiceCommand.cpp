#include "install/ServiceCommand.h"

#include "common/UniqueResource.h"
#include "logging/ErrorText.h"
#include "logging/Logger.h"
#include "settings/SettingsInterfaces.h"

namespace {
const Logger logger(L"ServiceCommand");
}

FailureMessage openServiceFailure(const std::wstring& text, DWORD code)
{
    switch (code) {
    case ERROR_ACCESS_DENIED: return {LEVEL_WARN, format(L"%s Access denied", text)};
    case ERROR_INVALID_NAME: return {LEVEL_WARN, format(L"%s Invalid service name", text)};
    case ERROR_SERVICE_DOES_NOT_EXIST: return {LEVEL_WARN, format(L"%s Service does not exist", text)};
    default: return {LEVEL_WARN, format(L"%s. %s", text, errorText(code))};
    }
}

ServiceCommand::ServiceCommand(const ServiceRights& serviceRights, const ServiceSettings& settings)
    : ServiceControlManagerCommand(*serviceRights.managerRights, settings), serviceRights_(serviceRights)
{
}

int ServiceCommand::executeWithManager(SC_HANDLE manager)
{
    const std::wstring name = settings().getServiceName();
    logger.debug(L"Opening %s with %s rights...", name, serviceRights_.name);
    const UniqueServiceHandle service(OpenServiceW(manager, name.c_str(), serviceRights_.value));
    if (!service) {
        const DWORD code = GetLastError();
        openServiceError_ = code;
        const FailureMessage failure = openServiceFailure(format(L"Failed to open service %s.", name), code);
        logger.log(failure.level, failure.text);
        return 1;
    }
    return executeWithService(manager, service.get());
}
