#pragma once

#include "install/CreateServiceCheckAccountAction.h"

// install: the account check, the service with its description, the
// account's right to start and stop it, and how to start it.
class CreateServiceAction : public CreateServiceCheckAccountAction {
public:
    CreateServiceAction();
    void printUsage(ConsoleWriter& writer) override;
    int ExecuteCreateAction(const Argz& arguments, const CreateServiceSettings& createSettings,
                            const ServiceTaskSettings& taskSettings) override;
};
