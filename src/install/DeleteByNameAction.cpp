#include "install/DeleteByNameAction.h"

#include "commandline/ArgumentKeys.h"
#include "commandline/Argz.h"
#include "commandline/ConsoleWriter.h"
#include "install/DeleteServiceCommand.h"
#include "install/ServiceControlAction.h"
#include "logging/Logger.h"
#include "settings/SimpleSettings.h"

namespace {
const Logger logger(L"DeleteByNameAction");
}

DeleteByNameAction::DeleteByNameAction() : ConsoleAction(L"deleteByName") {}

void DeleteByNameAction::printUsage(ConsoleWriter& writer)
{
    if (!logger.isEnabled(LEVEL_DEBUG)) {
        return;
    }
    writer.writeFormatted(L"    %s /%s=<service name>", name(), KEY_SERVICE);
    writer.writeLine(L"      removes installed service by given name");
    writer.writeEmptyLine();
}

int DeleteByNameAction::execute(const Argz& arguments)
{
    std::wstring serviceName;
    if (!arguments.getValue(KEY_SERVICE, serviceName)) {
        logger.error(L"Failed to find argument %s", KEY_SERVICE);
        return 1;
    }
    if (!requireServiceName(serviceName)) {
        return 1;
    }
    const SimpleServiceSettings settings(serviceName, serviceName, serviceName, std::wstring());
    return DeleteServiceCommand(settings).execute();
}
