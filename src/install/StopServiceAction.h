#pragma once

#include "install/ServiceControlAction.h"

// stop: stops the service and waits until it has stopped.
class StopServiceAction : public ServiceControlAction {
public:
    StopServiceAction();
    void printUsage(ConsoleWriter& writer) override;
    int ExecuteAction(const Argz& arguments, const ServiceSettings& settings) override;
};
