#include "install/GrantLogonAsServiceAction.h"

#include "commandline/ConsoleWriter.h"
#include "install/CheckAndGrantLogOnAsServiceCommand.h"

GrantLogonAsServiceAction::GrantLogonAsServiceAction() : UserConsoleAction(L"grantLogon") {}

void GrantLogonAsServiceAction::printUsage(ConsoleWriter& writer)
{
    writer.writeFormatted(L"    %s %s", name(), UserSettingsParser::userUsage());
    writer.writeLine(L"      grants user 'Logon as Service' privilege to user if needed");
    writer.writeEmptyLine();
}

int GrantLogonAsServiceAction::ExecuteUserAction(const Argz&, const UserSettings& settings)
{
    return CheckAndGrantLogOnAsServiceCommand(settings, true).execute();
}
