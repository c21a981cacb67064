#pragma once

#include "install/ServiceCommand.h"

// Shows the state of the service: its process id while it has one, its exit
// codes once it has stopped, and what its program is doing as the service's
// state file says; as text in the log, or on standard output as one JSON
// object or as the metrics of its metrics file. 0 when it runs, 3 when it
// does not, 1 when the status cannot be read.
class QueryServiceStatusCommand : public ServiceCommand {
public:
    enum class Format { Text, Json, Prometheus };

    QueryServiceStatusCommand(const ServiceSettings& settings, Format format);

protected:
    int executeWithService(SC_HANDLE manager, SC_HANDLE service) override;

private:
    Format format_;
};
