#pragma once

#include "commandline/ConsoleAction.h"

class ServiceAction : public ConsoleAction {
public:
    ServiceAction();
    void printUsage(ConsoleWriter& writer) override;
    int execute(const Argz& arguments) override;
};
