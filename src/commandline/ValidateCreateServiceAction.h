#pragma once

#include "commandline/ConsoleAction.h"

class ValidateCreateServiceAction : public ConsoleAction {
public:
    ValidateCreateServiceAction();
    void printUsage(ConsoleWriter& writer) override;
    int execute(const Argz& arguments) override;
};
