#pragma once

#include "commandline/ConsoleAction.h"

class EventLogConsoleAction : public ConsoleAction {
public:
    EventLogConsoleAction();
    void printUsage(ConsoleWriter& writer) override;
    int execute(const Argz& arguments) override;
};
