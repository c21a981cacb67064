#include "install/StopServiceAction.h"

#include "install/StopServiceCommand.h"

StopServiceAction::StopServiceAction() : ServiceControlAction(L"stop") {}

void StopServiceAction::printUsage(ConsoleWriter& writer)
{
    writeUsage(writer, waitOption(), L"stops the service and waits until it has stopped");
}

int StopServiceAction::ExecuteAction(const Argz& arguments, const ServiceSettings& settings)
{
    DWORD waitSeconds = 0;
    if (!parseWaitSeconds(arguments, waitSeconds)) {
        return 1;
    }
    return StopServiceCommand(settings, waitSeconds).execute();
}
