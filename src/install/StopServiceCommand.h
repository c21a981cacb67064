#pragma once

#include "install/ServiceCommand.h"

// Asks the service to stop and waits until it has stopped.
class StopServiceCommand : public ServiceCommand {
public:
    // With 0 seconds it only asks.
    StopServiceCommand(const ServiceSettings& settings, DWORD waitSeconds);

protected:
    int executeWithService(SC_HANDLE manager, SC_HANDLE service) override;

private:
    DWORD waitSeconds_;
};
