#include "service/ServiceAction.h"

#include "commandline/ArgumentKeys.h"
#include "commandline/Argz.h"
#include "commandline/ConsoleWriter.h"
#include "commandline/PendingCommand.h"
#include "commandline/UserSettingsParser.h"
#include "logging/Logger.h"

namespace {
const Logger logger(L"ServiceAction");
}

ServiceAction::ServiceAction() : ConsoleAction(L"hostwell") {}

void ServiceAction::printUsage(ConsoleWriter& writer)
{
    if (!logger.isEnabled(LEVEL_DEBUG)) {
        return;
    }
    writer.writeFormatted(L"    %s", name());
    writer.writeLine(L"      internal, called to run as windows service");
    writer.writeEmptyLine();
}

int ServiceAction::execute(const Argz&) { return reportCommandNotAvailable(name()); }
