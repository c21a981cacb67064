#include "install/CheckLogonAsServiceCommand.h"

#include "logging/Logger.h"

namespace {
const Logger logger(L"CheckLogonAsServiceCommand");
}

CheckLogonAsServiceCommand::CheckLogonAsServiceCommand(const UserSettings& userSettings)
    : LogonUserCommand(userSettings, LOGON_AS_SERVICE)
{
}

int CheckLogonAsServiceCommand::executeWithToken(HANDLE)
{
    logger.info(L"User logged in as service");
    return 0;
}
