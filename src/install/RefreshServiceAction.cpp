#include "install/RefreshServiceAction.h"

#include "commandline/ArgumentKeys.h"
#include "commandline/ConsoleWriter.h"
#include "install/RefreshServiceCommand.h"

RefreshServiceAction::RefreshServiceAction() : ServiceSettingsAction(L"refresh") {}

void RefreshServiceAction::printUsage(ConsoleWriter& writer)
{
    writer.writeFormatted(L"    %s /%s=<path to settings file>", name(), KEY_SETTINGS);
    writer.writeLine(L"      applies display name, description, dependencies and shutdown time to installed service");
    writer.writeEmptyLine();
}

int RefreshServiceAction::ExecuteTaskAction(const Argz&, const ServiceTaskSettings& settings)
{
    return RefreshServiceCommand(settings).execute();
}
