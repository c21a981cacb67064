#pragma once

#include "commandline/ConsoleAction.h"

class CreateServiceAction : public ConsoleAction {
public:
    CreateServiceAction();
    void printUsage(ConsoleWriter& writer) override;
    int execute(const Argz& arguments) override;
};
