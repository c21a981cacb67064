#pragma once

#include "install/ServiceControlAction.h"

// status: shows the state of the service.
class ServiceStatusAction : public ServiceControlAction {
public:
    ServiceStatusAction();
    void printUsage(ConsoleWriter& writer) override;
    int ExecuteAction(const Argz& arguments, const ServiceSettings& settings) override;
};
