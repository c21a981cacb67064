#include "process/ProcessAction.h"

#include "commandline/ArgumentKeys.h"
#include "commandline/Argz.h"
#include "commandline/ConsoleWriter.h"
#include "commandline/PendingCommand.h"
#include "commandline/UserSettingsParser.h"
#include "logging/Logger.h"

namespace {
const Logger logger(L"ProcessAction");
}

ProcessAction::ProcessAction() : ConsoleAction(L"console") {}

void ProcessAction::printUsage(ConsoleWriter& writer)
{
    writer.writeFormatted(L"    %s /%s=<path to settings file>", name(), KEY_SETTINGS);
    writer.writeLine(L"      starts service process in console window");
    writer.writeEmptyLine();
}

int ProcessAction::execute(const Argz&) { return reportCommandNotAvailable(name()); }
