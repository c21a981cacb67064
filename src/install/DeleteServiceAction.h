#pragma once

#include "commandline/SimpleConsoleAction.h"

// delete: removes the service named in the settings file.
class DeleteServiceAction : public SimpleConsoleAction {
public:
    DeleteServiceAction();
    void printUsage(ConsoleWriter& writer) override;
    int ExecuteAction(const Argz& arguments, const ServiceSettings& settings) override;
};
