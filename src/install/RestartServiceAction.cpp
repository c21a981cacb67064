#include "install/RestartServiceAction.h"

#include "install/StartServiceCommand.h"
#include "install/StopServiceCommand.h"

RestartServiceAction::RestartServiceAction() : ServiceControlAction(L"restart") {}

void RestartServiceAction::printUsage(ConsoleWriter& writer)
{
    writeUsage(writer, waitOption(), L"stops the service and starts it again");
}

int RestartServiceAction::ExecuteAction(const Argz& arguments, const ServiceSettings& settings)
{
    DWORD waitSeconds = 0;
    if (!parseWaitSeconds(arguments, waitSeconds)) {
        return 1;
    }
    // A service that is still stopping cannot be started, so the stop is
    // waited for even with /wait=0.
    const DWORD stopWait = waitSeconds == 0 ? DEFAULT_WAIT_SECONDS : waitSeconds;
    const int stopped = StopServiceCommand(settings, stopWait).execute();
    if (stopped != 0) {
        return stopped;
    }
    return StartServiceCommand(settings, waitSeconds).execute();
}
