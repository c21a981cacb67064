#pragma once

#include "commandline/ConsoleAction.h"

class DeleteServiceAction : public ConsoleAction {
public:
    DeleteServiceAction();
    void printUsage(ConsoleWriter& writer) override;
    int execute(const Argz& arguments) override;
};
