#include "install/CreateServiceAction.h"

#include "commandline/ArgumentKeys.h"
#include "commandline/Argz.h"
#include "commandline/ConsoleWriter.h"
#include "install/ServiceAccountKind.h"
#include "install/CreateServiceCommand.h"
#include "install/ServiceGrantDACLCommand.h"
#include "logging/Logger.h"
#include "security/TrustedAccounts.h"
#include "security/WriteAccessCheck.h"
#include "settings/SettingsInterfaces.h"

namespace {

const Logger logger(L"CreateServiceAction");

void printStartStopHint(const std::wstring& serviceName)
{
    logger.info(L"");
    logger.info(L"Use the folloging commands to start/stop the service:");
    logger.info(L"  net.exe start %s", serviceName);
    logger.info(L"    to start service");
    logger.info(L"");
    logger.info(L"  net.exe stop %s", serviceName);
    logger.info(L"    to stop service");
    logger.info(L"");
}

}  // namespace

CreateServiceAction::CreateServiceAction() : CreateServiceCheckAccountAction(L"install") {}

void CreateServiceAction::printUsage(ConsoleWriter& writer)
{
    writer.writeFormatted(L"    %s /%s=<path to settings file> %s [<extra>]", name(), KEY_SETTINGS,
                          UserSettingsParser::userUsage());
    writer.writeLine(L"      installs service to the system to run under given user/password,");
    writer.writeLine(L"      where <extra> may contain the following:");
    writer.writeFormatted(L"        %s|delayed", makeBoolArgument(KEY_AUTORUN, false));
    writer.writeFormatted(L"        %s", makeBoolArgument(KEY_CHECK_USER_ACCOUNT, false));
    writer.writeFormatted(L"        %s", makeBoolArgument(KEY_GIVE_USER_RIGHTS, false));
    writer.writeFormatted(L"        %s", makeBoolArgument(KEY_CHANGE_DACL, false));
    writer.writeEmptyLine();
    writer.writeFormatted(L"    %s /%s=<path to settings file> /runAsSystem [%s|delayed]", name(), KEY_SETTINGS,
                          makeBoolArgument(KEY_AUTORUN, false));
    writer.writeLine(L"      installs service to the system to run under local system");
    writer.writeEmptyLine();
}

int CreateServiceAction::ExecuteCreateAction(const Argz& arguments, const CreateServiceSettings& createSettings,
                                             const ServiceTaskSettings& taskSettings)
{
    // Before anything on the machine changes.
    const TrustedAccounts trusted =
        TrustedAccounts::forInstall(createSettings.isRunAsSystem() ? L"" : lookupAccountName(createSettings));
    if (!acceptWritableFiles(findWritableFiles(taskSettings, L"", trusted),
                             arguments.getBool(KEY_ALLOW_WRITABLE_FILES, false))) {
        return 1;
    }
    const int checked = CreateServiceCheckAccountAction::ExecuteCreateAction(arguments, createSettings, taskSettings);
    if (checked != 0) {
        return checked;
    }
    const int created = CreateServiceCommand(createSettings).execute();
    if (created != 0) {
        return created;
    }
    // The service works without the entry; only its account cannot start or stop it.
    if (!createSettings.isRunAsSystem() && arguments.getBool(KEY_CHANGE_DACL, true) &&
        ServiceGrantDACLCommand(createSettings).execute() != 0) {
        logger.warn(L"Failed to grant rights for user.");
        logger.warn(L"To disable this check add '%s' commandline parameter", makeBoolArgument(KEY_CHANGE_DACL, false));
    }
    printStartStopHint(createSettings.getServiceName());
    return 0;
}
