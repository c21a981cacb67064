#pragma once

#include "commandline/ServiceSettingsAction.h"
#include "commandline/UserSettingsParser.h"

class CreateServiceSettings;

// A command that creates a service or acts on the account a service runs
// under: ExecuteCreateAction receives the service command line, the account
// (or LocalSystem) and whether the service starts automatically.
class CreateServiceSettingsAction : public ServiceSettingsAction, public UserSettingsParser {
public:
    using ServiceSettingsAction::ServiceSettingsAction;

    int ExecuteTaskAction(const Argz& arguments, const ServiceTaskSettings& settings) override;
    virtual int ExecuteCreateAction(const Argz& arguments, const CreateServiceSettings& createSettings,
                                    const ServiceTaskSettings& taskSettings) = 0;
};
