#include "commandline/ValidateServiceTaskAction.h"

#include "commandline/ArgumentKeys.h"
#include "commandline/Argz.h"
#include "commandline/ConsoleWriter.h"
#include "commandline/PendingCommand.h"
#include "commandline/UserSettingsParser.h"
#include "logging/Logger.h"

namespace {
const Logger logger(L"ValidateServiceTaskAction");
}

ValidateServiceTaskAction::ValidateServiceTaskAction() : ConsoleAction(L"validate-settings") {}

void ValidateServiceTaskAction::printUsage(ConsoleWriter& writer)
{
    if (!logger.isEnabled(LEVEL_DEBUG)) {
        return;
    }
    writer.writeFormatted(L"    %s /%s=<path to settings file>", name(), KEY_SETTINGS);
    writer.writeLine(L"      validates command parse");
    writer.writeEmptyLine();
}

int ValidateServiceTaskAction::execute(const Argz&) { return reportCommandNotAvailable(name()); }
