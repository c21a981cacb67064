#pragma once

#include "commandline/ConsoleAction.h"
#include "eventlog/EventLog.h"

// log-event: writes one record of the chosen severity under the product's name.
class EventLogConsoleAction : public ConsoleAction, public EventLog {
public:
    EventLogConsoleAction();
    void printUsage(ConsoleWriter& writer) override;
    int execute(const Argz& arguments) override;
};
