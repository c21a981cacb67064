#pragma once

#include "install/ServiceControlAction.h"

// start: starts the service and waits until it runs.
class StartServiceAction : public ServiceControlAction {
public:
    StartServiceAction();
    void printUsage(ConsoleWriter& writer) override;
    int ExecuteAction(const Argz& arguments, const ServiceSettings& settings) override;
};
