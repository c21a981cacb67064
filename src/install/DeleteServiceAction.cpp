#include "install/DeleteServiceAction.h"

#include "commandline/ArgumentKeys.h"
#include "commandline/Argz.h"
#include "commandline/ConsoleWriter.h"
#include "commandline/PendingCommand.h"
#include "commandline/UserSettingsParser.h"
#include "logging/Logger.h"

namespace {
const Logger logger(L"DeleteServiceAction");
}

DeleteServiceAction::DeleteServiceAction() : ConsoleAction(L"delete") {}

void DeleteServiceAction::printUsage(ConsoleWriter& writer)
{
    writer.writeFormatted(L"    %s /%s=<path to settings file>", name(), KEY_SETTINGS);
    writer.writeLine(L"      removes installed service");
    writer.writeEmptyLine();
}

int DeleteServiceAction::execute(const Argz&) { return reportCommandNotAvailable(name()); }
