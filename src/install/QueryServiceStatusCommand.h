#pragma once

#include "install/ServiceCommand.h"

// Shows the state of the service: its process id while it has one, its exit
// codes once it has stopped, and what its program is doing as the service's
// state file says; as text in the log, or as one JSON object on standard
// output. 0 when it runs, 3 when it does not, 1 when the status cannot be read.
class QueryServiceStatusCommand : public ServiceCommand {
public:
    enum class Format { Text, Json };

    QueryServiceStatusCommand(const ServiceSettings& settings, Format format);

protected:
    int executeWithService(SC_HANDLE manager, SC_HANDLE service) override;

private:
    Format format_;
};
