#include "install/GrantServiceDACLAction.h"

#include "commandline/ArgumentKeys.h"
#include "commandline/Argz.h"
#include "commandline/ConsoleWriter.h"
#include "install/ServiceGrantDACLCommand.h"
#include "logging/Logger.h"
#include "settings/SettingsInterfaces.h"

namespace {
const Logger logger(L"GrantServiceDACLAction");
}

GrantServiceDACLAction::GrantServiceDACLAction() : CreateServiceSettingsAction(L"grantService") {}

void GrantServiceDACLAction::printUsage(ConsoleWriter& writer)
{
    writer.writeFormatted(L"    %s /%s=<path to settings file> %s", name(), KEY_SETTINGS,
                          UserSettingsParser::userUsage());
    writer.writeLine(L"      gives user rights to start/stop the service");
    writer.writeEmptyLine();
}

int GrantServiceDACLAction::ExecuteCreateAction(const Argz&, const CreateServiceSettings& createSettings,
                                                const ServiceTaskSettings&)
{
    if (createSettings.isRunAsSystem()) {
        return 0;
    }
    if (ServiceGrantDACLCommand(createSettings).execute() != 0) {
        logger.warn(L"Failed to grant rights for user.");
        return 1;
    }
    return 0;
}
