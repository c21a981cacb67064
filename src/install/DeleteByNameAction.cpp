#include "install/DeleteByNameAction.h"

#include "commandline/ArgumentKeys.h"
#include "commandline/Argz.h"
#include "commandline/ConsoleWriter.h"
#include "commandline/PendingCommand.h"
#include "commandline/UserSettingsParser.h"
#include "logging/Logger.h"

namespace {
const Logger logger(L"DeleteByNameAction");
}

DeleteByNameAction::DeleteByNameAction() : ConsoleAction(L"deleteByName") {}

void DeleteByNameAction::printUsage(ConsoleWriter& writer)
{
    if (!logger.isEnabled(LEVEL_DEBUG)) {
        return;
    }
    writer.writeFormatted(L"    %s /%s=<service name>", name(), KEY_SERVICE);
    writer.writeLine(L"      removes installed service by given name");
    writer.writeEmptyLine();
}

int DeleteByNameAction::execute(const Argz&) { return reportCommandNotAvailable(name()); }
