#include "install/RefreshServiceAction.h"

#include "commandline/ArgumentKeys.h"
#include "commandline/ConsoleWriter.h"
#include "install/RefreshServiceCommand.h"

RefreshServiceAction::RefreshServiceAction() : SimpleConsoleAction(L"refresh") {}

void RefreshServiceAction::printUsage(ConsoleWriter& writer)
{
    writer.writeFormatted(L"    %s /%s=<path to settings file>", name(), KEY_SETTINGS);
    writer.writeLine(L"      applies display name, description and dependencies to installed service");
    writer.writeEmptyLine();
}

int RefreshServiceAction::ExecuteAction(const Argz&, const ServiceSettings& settings)
{
    return RefreshServiceCommand(settings).execute();
}
