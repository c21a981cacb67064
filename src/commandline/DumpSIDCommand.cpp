#include "commandline/DumpSIDCommand.h"

#include <sddl.h>

#include "common/UniqueResource.h"
#include "logging/ErrorText.h"
#include "logging/Logger.h"

namespace {
const Logger logger(L"DumpSIDCommand");
}

DumpSIDCommand::DumpSIDCommand(const UserSettings& userSettings)
    : LSAUserCommand(POLICY_RIGHTS_READ_PRIVILEGES, userSettings)
{
}

int DumpSIDCommand::executeWithSid(LSA_HANDLE, PSID sid)
{
    LPWSTR converted = nullptr;
    if (!ConvertSidToStringSidW(sid, &converted)) {
        logger.error(L"Failed to convert SID to string. %s", lastErrorText());
        return 1;
    }
    const UniqueLocalMemory textMemory(converted);
    logger.info(L"User token opened: SID=%s", converted);
    return 0;
}
