#include "install/CheckUserAction.h"

#include "commandline/ArgumentKeys.h"
#include "commandline/Argz.h"
#include "commandline/ConsoleWriter.h"
#include "commandline/PendingCommand.h"
#include "commandline/UserSettingsParser.h"
#include "logging/Logger.h"

namespace {
const Logger logger(L"CheckUserAction");
}

CheckUserAction::CheckUserAction() : ConsoleAction(L"checkUser") {}

void CheckUserAction::printUsage(ConsoleWriter& writer)
{
    writer.writeFormatted(L"    %s %s", name(), UserSettingsParser::userUsage());
    writer.writeLine(L"      checks if user has enough rights to logon as service");
    writer.writeEmptyLine();
}

int CheckUserAction::execute(const Argz&) { return reportCommandNotAvailable(name()); }
