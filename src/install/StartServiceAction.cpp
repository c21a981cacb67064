#include "install/StartServiceAction.h"

#include "install/StartServiceCommand.h"

StartServiceAction::StartServiceAction() : ServiceControlAction(L"start") {}

void StartServiceAction::printUsage(ConsoleWriter& writer)
{
    writeUsage(writer, waitOption(), L"starts the service and waits until it runs");
}

int StartServiceAction::ExecuteAction(const Argz& arguments, const ServiceSettings& settings)
{
    DWORD waitSeconds = 0;
    if (!parseWaitSeconds(arguments, waitSeconds)) {
        return 1;
    }
    return StartServiceCommand(settings, waitSeconds).execute();
}
