#include "install/ServiceControlManagerCommand.h"

#include "common/UniqueResource.h"
#include "logging/ErrorText.h"
#include "logging/Logger.h"

namespace {
const Logger logger(L"ServiceControlManagerCommand");
}

FailureMessage managerOpenFailure(const std::wstring& text, DWORD code)
{
    if (code == ERROR_ACCESS_DENIED) {
        return {LEVEL_ERROR, format(L"%s Not enough rights", text)};
    }
    return {LEVEL_ERROR, format(L"%s %s", text, errorText(code))};
}

ServiceControlManagerCommand::ServiceControlManagerCommand(const ManagerRights& managerRights,
                                                           const ServiceSettings& settings)
    : managerRights_(managerRights), settings_(settings)
{
}

int ServiceControlManagerCommand::execute()
{
    logger.debug(L"Openning ServiceControlManager with %s permissions", managerRights_.name);
    const UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, managerRights_.value));
    if (!manager) {
        const DWORD code = GetLastError();
        const std::wstring text =
            format(L"Failed to open Service Control Manager with %s permissions.", managerRights_.name);
        const FailureMessage failure = managerOpenFailure(text, code);
        logger.log(failure.level, failure.text);
        return 1;
    }
    return executeWithManager(manager.get());
}
