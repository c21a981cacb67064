#pragma once

#include "commandline/ServiceSettingsAction.h"

// refresh: gives the installed service the display name, description,
// dependencies and time to stop at shutdown of the settings file.
class RefreshServiceAction : public ServiceSettingsAction {
public:
    RefreshServiceAction();
    void printUsage(ConsoleWriter& writer) override;
    int ExecuteTaskAction(const Argz& arguments, const ServiceTaskSettings& settings) override;
};
