#pragma once

#include "install/ServiceCommand.h"

// Shows the state of the service: its process id while it has one, its exit
// codes once it has stopped. 0 when it runs, 3 when it does not, 1 when the
// status cannot be read.
class QueryServiceStatusCommand : public ServiceCommand {
public:
    explicit QueryServiceStatusCommand(const ServiceSettings& settings);

protected:
    int executeWithService(SC_HANDLE manager, SC_HANDLE service) override;
};
