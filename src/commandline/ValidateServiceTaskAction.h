#pragma once

#include "commandline/ConsoleAction.h"

class ValidateServiceTaskAction : public ConsoleAction {
public:
    ValidateServiceTaskAction();
    void printUsage(ConsoleWriter& writer) override;
    int execute(const Argz& arguments) override;
};
