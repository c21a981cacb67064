#pragma once

#include "commandline/CreateServiceSettingsAction.h"

// grantService: lets the account start and stop the installed service.
class GrantServiceDACLAction : public CreateServiceSettingsAction {
public:
    GrantServiceDACLAction();
    void printUsage(ConsoleWriter& writer) override;
    int ExecuteCreateAction(const Argz& arguments, const CreateServiceSettings& createSettings,
                            const ServiceTaskSettings& taskSettings) override;
};
