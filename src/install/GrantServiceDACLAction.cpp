#include "install/GrantServiceDACLAction.h"

#include "commandline/ArgumentKeys.h"
#include "commandline/Argz.h"
#include "commandline/ConsoleWriter.h"
#include "commandline/PendingCommand.h"
#include "commandline/UserSettingsParser.h"
#include "logging/Logger.h"

namespace {
const Logger logger(L"GrantServiceDACLAction");
}

GrantServiceDACLAction::GrantServiceDACLAction() : ConsoleAction(L"grantService") {}

void GrantServiceDACLAction::printUsage(ConsoleWriter& writer)
{
    writer.writeFormatted(L"    %s /%s=<path to settings file> %s", name(), KEY_SETTINGS,
                          UserSettingsParser::userUsage());
    writer.writeLine(L"      gives user rights to start/stop the service");
    writer.writeEmptyLine();
}

int GrantServiceDACLAction::execute(const Argz&) { return reportCommandNotAvailable(name()); }
