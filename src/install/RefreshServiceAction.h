#pragma once

#include "commandline/SimpleConsoleAction.h"

// refresh: gives the installed service the display name, description and
// dependencies of the settings file.
class RefreshServiceAction : public SimpleConsoleAction {
public:
    RefreshServiceAction();
    void printUsage(ConsoleWriter& writer) override;
    int ExecuteAction(const Argz& arguments, const ServiceSettings& settings) override;
};
