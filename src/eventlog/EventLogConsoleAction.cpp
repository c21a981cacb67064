#include "eventlog/EventLogConsoleAction.h"

#include "commandline/ArgumentKeys.h"
#include "commandline/Argz.h"
#include "commandline/ConsoleWriter.h"
#include "common/TextConversion.h"
#include "logging/Logger.h"

namespace {
const Logger logger(L"EventLogConsoleAction");
}

EventLogConsoleAction::EventLogConsoleAction() : ConsoleAction(L"log-event"), EventLog(PRODUCT_WORD) {}

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

int EventLogConsoleAction::execute(const Argz& arguments)
{
    std::wstring severityName;
    if (!arguments.getValue(KEY_SEVERITY, severityName)) {
        logger.error(L"Severity key is missing");
        return 1;
    }
    std::wstring message;
    if (!arguments.getValue(KEY_MESSAGE, message)) {
        logger.error(L"Message key is missing");
        return 1;
    }
    severityName = lowerCaseAscii(severityName);
    const Severity* severity = severityNamed(severityName);
    if (severity == nullptr) {
        logger.error(L"Unknown severity: %s", severityName);
        return 1;
    }
    // A record that could not be written is logged by Write; the command still succeeds.
    Write(*severity, message);
    return 0;
}
