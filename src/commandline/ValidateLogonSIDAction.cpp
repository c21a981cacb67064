#include "commandline/ValidateLogonSIDAction.h"

#include "commandline/ArgumentKeys.h"
#include "commandline/Argz.h"
#include "commandline/ConsoleWriter.h"
#include "commandline/DumpSIDCommand.h"
#include "logging/Logger.h"
#include "settings/SettingsInterfaces.h"

namespace {
const Logger logger(L"ValidateLogonSIDAction");
}

ValidateLogonSIDAction::ValidateLogonSIDAction() : CreateServiceSettingsAction(L"validate-sid") {}

void ValidateLogonSIDAction::printUsage(ConsoleWriter& writer)
{
    if (!logger.isEnabled(LEVEL_DEBUG)) {
        return;
    }
    writer.writeFormatted(L"    %s /%s=<path to settings file>", name(), KEY_SETTINGS);
    writer.writeLine(L"      dumps user SID to console");
    writer.writeEmptyLine();
}

int ValidateLogonSIDAction::ExecuteCreateAction(const Argz&, const CreateServiceSettings& createSettings,
                                                const ServiceTaskSettings&)
{
    if (createSettings.isRunAsSystem()) {
        logger.error(L"Username and password must be specified");
        return 1;
    }
    return DumpSIDCommand(createSettings).execute();
}
