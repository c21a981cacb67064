#include "install/DeleteServiceAction.h"

#include "commandline/ArgumentKeys.h"
#include "commandline/Argz.h"
#include "commandline/ConsoleWriter.h"
#include "install/DeleteServiceCommand.h"

DeleteServiceAction::DeleteServiceAction() : SimpleConsoleAction(L"delete") {}

void DeleteServiceAction::printUsage(ConsoleWriter& writer)
{
    writer.writeFormatted(L"    %s /%s=<path to settings file>", name(), KEY_SETTINGS);
    writer.writeLine(L"      removes installed service");
    writer.writeEmptyLine();
}

int DeleteServiceAction::ExecuteAction(const Argz&, const ServiceSettings& settings)
{
    return DeleteServiceCommand(settings).execute();
}
