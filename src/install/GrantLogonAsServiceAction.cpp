#include "install/GrantLogonAsServiceAction.h"

#include "commandline/ArgumentKeys.h"
#include "commandline/Argz.h"
#include "commandline/ConsoleWriter.h"
#include "commandline/PendingCommand.h"
#include "commandline/UserSettingsParser.h"
#include "logging/Logger.h"

namespace {
const Logger logger(L"GrantLogonAsServiceAction");
}

GrantLogonAsServiceAction::GrantLogonAsServiceAction() : ConsoleAction(L"grantLogon") {}

void GrantLogonAsServiceAction::printUsage(ConsoleWriter& writer)
{
    writer.writeFormatted(L"    %s %s", name(), UserSettingsParser::userUsage());
    writer.writeLine(L"      grants user 'Logon as Service' privilege to user if needed");
    writer.writeEmptyLine();
}

int GrantLogonAsServiceAction::execute(const Argz&) { return reportCommandNotAvailable(name()); }
