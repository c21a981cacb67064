#include "install/CreateServiceCheckAccountAction.h"

#include "commandline/ArgumentKeys.h"
#include "commandline/Argz.h"
#include "install/CheckAndGrantLogOnAsServiceCommand.h"
#include "install/CheckLogonAsServiceCommand.h"
#include "install/LSAGrantPrivilegeCommand.h"
#include "install/ServiceAccountKind.h"
#include "logging/Logger.h"
#include "settings/SettingsInterfaces.h"

namespace {
const Logger logger(L"CreateServiceCheckAccountAction");
}

int CreateServiceCheckAccountAction::ExecuteCreateAction(const Argz& arguments,
                                                         const CreateServiceSettings& createSettings,
                                                         const ServiceTaskSettings&)
{
    if (createSettings.isRunAsSystem() || !arguments.getBool(KEY_CHECK_USER_ACCOUNT, true)) {
        return 0;
    }
    const ServiceAccountKind kind = serviceAccountKind(createSettings);
    // A managed account has no password to log on with: the right is granted unchecked.
    if (kind == ServiceAccountKind::MANAGED) {
        return arguments.getBool(KEY_GIVE_USER_RIGHTS, true) ? LSAGrantPrivilegeCommand(createSettings).execute() : 0;
    }
    // Windows gives the built-in service accounts and virtual accounts their logon right itself.
    if (!needsPassword(kind)) {
        return 0;
    }
    const int checked = checkLogonAsService(createSettings);
    if (checked == 0) {
        return 0;
    }
    if (!arguments.getBool(KEY_GIVE_USER_RIGHTS, true)) {
        logger.info(L"To disable user account check add '%s' commandline argument",
                    makeBoolArgument(KEY_CHECK_USER_ACCOUNT, false));
        return checked;
    }
    if (grantLogonAsService(createSettings) == 0) {
        return 0;
    }
    logger.info(L"Failed to give user enough rights to run as server");
    logger.info(L"Give user enough rights or add '%s' commandline argument",
                makeBoolArgument(KEY_GIVE_USER_RIGHTS, false));
    return 1;
}

int CreateServiceCheckAccountAction::checkLogonAsService(const UserSettings& account)
{
    return CheckLogonAsServiceCommand(account).execute();
}

int CreateServiceCheckAccountAction::grantLogonAsService(const UserSettings& account)
{
    return CheckAndGrantLogOnAsServiceCommand(account, false).execute();
}
