#pragma once

#include "commandline/SimpleConsoleAction.h"

class ServiceTaskSettings;

// A command that needs the execution part of the settings file as well: the
// file is read a second time and ExecuteTaskAction receives both parts.
class ServiceSettingsAction : public SimpleConsoleAction {
public:
    using SimpleConsoleAction::SimpleConsoleAction;

    int ExecuteAction(const Argz& arguments, const ServiceSettings& settings) override;
    virtual int ExecuteTaskAction(const Argz& arguments, const ServiceTaskSettings& settings) = 0;
};
