#pragma once

#include "install/ServiceControlAction.h"

// restart: stops the service and starts it again.
class RestartServiceAction : public ServiceControlAction {
public:
    RestartServiceAction();
    void printUsage(ConsoleWriter& writer) override;
    int ExecuteAction(const Argz& arguments, const ServiceSettings& settings) override;
};
