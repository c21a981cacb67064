#pragma once

#include "commandline/CreateServiceSettingsAction.h"

// Looks the account up and prints its security identifier.
class ValidateLogonSIDAction : public CreateServiceSettingsAction {
public:
    ValidateLogonSIDAction();
    void printUsage(ConsoleWriter& writer) override;
    int ExecuteCreateAction(const Argz& arguments, const CreateServiceSettings& createSettings,
                            const ServiceTaskSettings& taskSettings) override;
};
