#pragma once

#include "commandline/ConsoleAction.h"

class GrantServiceDACLAction : public ConsoleAction {
public:
    GrantServiceDACLAction();
    void printUsage(ConsoleWriter& writer) override;
    int execute(const Argz& arguments) override;
};
