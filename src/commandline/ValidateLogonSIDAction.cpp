#include "commandline/ValidateLogonSIDAction.h"

#include "commandline/ArgumentKeys.h"
#include "commandline/Argz.h"
#include "commandline/ConsoleWriter.h"
#include "commandline/PendingCommand.h"
#include "commandline/UserSettingsParser.h"
#include "logging/Logger.h"

namespace {
const Logger logger(L"ValidateLogonSIDAction");
}

ValidateLogonSIDAction::ValidateLogonSIDAction() : ConsoleAction(L"validate-sid") {}

void ValidateLogonSIDAction::printUsage(ConsoleWriter& writer)
{
    if (!logger.isEnabled(LEVEL_DEBUG)) {
        return;
    }
    writer.writeFormatted(L"    %s /%s=<path to settings file>", name(), KEY_SETTINGS);
    writer.writeLine(L"      dumps user SID to console");
    writer.writeEmptyLine();
}

int ValidateLogonSIDAction::execute(const Argz&) { return reportCommandNotAvailable(name()); }
