#pragma once

#include "commandline/CreateServiceSettingsAction.h"

// Prints what install would register, in a fixed form.
class ValidateCreateServiceAction : public CreateServiceSettingsAction {
public:
    ValidateCreateServiceAction();
    void printUsage(ConsoleWriter& writer) override;
    int ExecuteCreateAction(const Argz& arguments, const CreateServiceSettings& createSettings,
                            const ServiceTaskSettings& taskSettings) override;
};
