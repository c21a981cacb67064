#include "install/CheckUserAction.h"

#include "commandline/ConsoleWriter.h"
#include "install/CheckLogonAsServiceCommand.h"

CheckUserAction::CheckUserAction() : UserConsoleAction(L"checkUser") {}

void CheckUserAction::printUsage(ConsoleWriter& writer)
{
    writer.writeFormatted(L"    %s %s", name(), UserSettingsParser::userUsage());
    writer.writeLine(L"      checks if user has enough rights to logon as service");
    writer.writeEmptyLine();
}

int CheckUserAction::ExecuteUserAction(const Argz&, const UserSettings& settings)
{
    return CheckLogonAsServiceCommand(settings).execute();
}
