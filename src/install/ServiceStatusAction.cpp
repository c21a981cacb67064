#include "install/ServiceStatusAction.h"

#include "install/QueryServiceStatusCommand.h"

ServiceStatusAction::ServiceStatusAction() : ServiceControlAction(L"status") {}

void ServiceStatusAction::printUsage(ConsoleWriter& writer)
{
    writeUsage(writer, false, L"shows the state of the service; exit code 0 when it runs, 3 when it does not");
}

int ServiceStatusAction::ExecuteAction(const Argz&, const ServiceSettings& settings)
{
    return QueryServiceStatusCommand(settings).execute();
}
