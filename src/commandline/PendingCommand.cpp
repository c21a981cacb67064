#include "commandline/PendingCommand.h"

#include "logging/Logger.h"

int reportCommandNotAvailable(const std::wstring& name)
{
    const Logger logger(L"HostwellRunner");
    logger.error(L"Command %s is not available yet", name);
    return 1;
}
