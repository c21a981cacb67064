#pragma once

#include "commandline/ConsoleAction.h"

class CheckUserAction : public ConsoleAction {
public:
    CheckUserAction();
    void printUsage(ConsoleWriter& writer) override;
    int execute(const Argz& arguments) override;
};
