#include "commandline/ValidateCreateServiceAction.h"

#include "commandline/ArgumentKeys.h"
#include "commandline/Argz.h"
#include "commandline/ConsoleWriter.h"
#include "commandline/PendingCommand.h"
#include "commandline/UserSettingsParser.h"
#include "logging/Logger.h"

namespace {
const Logger logger(L"ValidateCreateServiceAction");
}

ValidateCreateServiceAction::ValidateCreateServiceAction() : ConsoleAction(L"validate-create-settings") {}

void ValidateCreateServiceAction::printUsage(ConsoleWriter& writer)
{
    if (!logger.isEnabled(LEVEL_DEBUG)) {
        return;
    }
    writer.writeFormatted(L"    %s /%s=<path to settings file>", name(), KEY_SETTINGS);
    writer.writeLine(L"      verifies create service command");
    writer.writeEmptyLine();
}

int ValidateCreateServiceAction::execute(const Argz&) { return reportCommandNotAvailable(name()); }
