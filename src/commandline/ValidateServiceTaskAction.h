#pragma once

#include "commandline/ServiceSettingsAction.h"

// Prints the parsed service and execution settings in a fixed form.
class ValidateServiceTaskAction : public ServiceSettingsAction {
public:
    ValidateServiceTaskAction();
    void printUsage(ConsoleWriter& writer) override;
    int ExecuteTaskAction(const Argz& arguments, const ServiceTaskSettings& settings) override;
};
