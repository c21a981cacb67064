#pragma once

#include "commandline/ConsoleAction.h"

class DeleteByNameAction : public ConsoleAction {
public:
    DeleteByNameAction();
    void printUsage(ConsoleWriter& writer) override;
    int execute(const Argz& arguments) override;
};
