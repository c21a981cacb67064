#pragma once

#include "commandline/ConsoleAction.h"

class GrantLogonAsServiceAction : public ConsoleAction {
public:
    GrantLogonAsServiceAction();
    void printUsage(ConsoleWriter& writer) override;
    int execute(const Argz& arguments) override;
};
