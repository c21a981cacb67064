#pragma once

#include "commandline/ConsoleAction.h"

class ProcessAction : public ConsoleAction {
public:
    ProcessAction();
    void printUsage(ConsoleWriter& writer) override;
    int execute(const Argz& arguments) override;
};
