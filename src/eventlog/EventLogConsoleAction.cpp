#include "eventlog/EventLogConsoleAction.h"

#include "commandline/ArgumentKeys.h"
#include "commandline/Argz.h"
#include "commandline/ConsoleWriter.h"
#include "commandline/PendingCommand.h"
#include "commandline/UserSettingsParser.h"
#include "logging/Logger.h"

namespace {
const Logger logger(L"EventLogConsoleAction");
}

EventLogConsoleAction::EventLogConsoleAction() : ConsoleAction(L"log-event") {}

void EventLogConsoleAction::printUsage(ConsoleWriter& writer)
{
    if (!logger.isEnabled(LEVEL_DEBUG)) {
        return;
    }
    writer.writeFormatted(L"    %s %s %s", name(), makeArgument(KEY_SEVERITY, L"<severity>"),
                          makeArgument(KEY_MESSAGE, L"<message>"));
    writer.writeLine(L"      Adds message to the system Event Log");
    writer.writeLine(L"      severity = [success|info|warn|error]");
    writer.writeEmptyLine();
}

int EventLogConsoleAction::execute(const Argz&) { return reportCommandNotAvailable(name()); }
