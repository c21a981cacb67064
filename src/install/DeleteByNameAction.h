#pragma once

#include "commandline/ConsoleAction.h"

// deleteByName: removes a service by its name, without a settings file.
class DeleteByNameAction : public ConsoleAction {
public:
    DeleteByNameAction();
    void printUsage(ConsoleWriter& writer) override;
    int execute(const Argz& arguments) override;
};
