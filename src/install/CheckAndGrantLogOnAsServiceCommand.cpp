#include "install/CheckAndGrantLogOnAsServiceCommand.h"

#include "install/CheckLogonAsServiceCommand.h"
#include "install/LSAGrantPrivilegeCommand.h"
#include "logging/Logger.h"

namespace {
const Logger logger(L"CheckAndGrantLogOnAsServiceCommand");
}

CheckAndGrantLogOnAsServiceCommand::CheckAndGrantLogOnAsServiceCommand(const UserSettings& userSettings,
                                                                       bool checkFirst)
    : userSettings_(userSettings), checkFirst_(checkFirst)
{
}

int CheckAndGrantLogOnAsServiceCommand::execute()
{
    if (checkFirst_ && CheckLogonAsServiceCommand(userSettings_).execute() == 0) {
        logger.info(L"User already has 'Logon as service' privilege");
        return 0;
    }
    if (LSAGrantPrivilegeCommand(userSettings_).execute() == 0 &&
        CheckLogonAsServiceCommand(userSettings_).execute() == 0) {
        logger.info(L"Gave user 'Logon as service' privilege");
        return 0;
    }
    logger.info(L"Failed to give user enough rights to run as server");
    return 1;
}
