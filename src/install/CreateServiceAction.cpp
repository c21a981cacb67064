#include "install/CreateServiceAction.h"

#include "commandline/ArgumentKeys.h"
#include "commandline/Argz.h"
#include "commandline/ConsoleWriter.h"
#include "commandline/PendingCommand.h"
#include "commandline/UserSettingsParser.h"
#include "logging/Logger.h"

namespace {
const Logger logger(L"CreateServiceAction");
}

CreateServiceAction::CreateServiceAction() : ConsoleAction(L"install") {}

void CreateServiceAction::printUsage(ConsoleWriter& writer)
{
    writer.writeFormatted(L"    %s /%s=<path to settings file> %s [<extra>]", name(), KEY_SETTINGS,
                          UserSettingsParser::userUsage());
    writer.writeLine(L"      installs service to the system to run under given user/password,");
    writer.writeLine(L"      where <extra> may contain the following:");
    writer.writeFormatted(L"        %s", makeBoolArgument(KEY_AUTORUN, false));
    writer.writeFormatted(L"        %s", makeBoolArgument(KEY_CHECK_USER_ACCOUNT, false));
    writer.writeFormatted(L"        %s", makeBoolArgument(KEY_GIVE_USER_RIGHTS, false));
    writer.writeFormatted(L"        %s", makeBoolArgument(KEY_CHANGE_DACL, false));
    writer.writeEmptyLine();
    writer.writeFormatted(L"    %s /%s=<path to settings file> /runAsSystem [%s]", name(), KEY_SETTINGS,
                          makeBoolArgument(KEY_AUTORUN, false));
    writer.writeLine(L"      installs service to the system to run under local system");
    writer.writeEmptyLine();
}

int CreateServiceAction::execute(const Argz&) { return reportCommandNotAvailable(name()); }
