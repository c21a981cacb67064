#pragma once

#include "install/ServiceCommand.h"

// Asks the control manager to start the service and waits until it runs.
class StartServiceCommand : public ServiceCommand {
public:
    // With 0 seconds it only asks.
    StartServiceCommand(const ServiceSettings& settings, DWORD waitSeconds);

protected:
    int executeWithService(SC_HANDLE manager, SC_HANDLE service) override;

private:
    DWORD waitSeconds_;
};
