#pragma once

#include "commandline/ConsoleAction.h"

class ValidateLogonSIDAction : public ConsoleAction {
public:
    ValidateLogonSIDAction();
    void printUsage(ConsoleWriter& writer) override;
    int execute(const Argz& arguments) override;
};
