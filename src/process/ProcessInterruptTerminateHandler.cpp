#include "process/ProcessInterruptTerminateHandler.h"

#include "common/TextConversion.h"
#include "logging/ErrorText.h"
#include "logging/Logger.h"
#include "process/ChildProcess.h"

namespace {
const Logger logger(L"ProcessInterruptTerminateHandler");
}

DWORD ProcessInterruptTerminateHandler::handle(const ChildProcess& child)
{
    if (isInterrupted()) {
        return INFINITE;
    }
    logger.info(L"%s will be killed, exit code would be 42", killed_);
    if (!child.terminate(TERMINATED_EXIT_CODE)) {
        logger.warn(L"Failed to terminate %s. %s", lowerCaseAscii(killed_), lastErrorText());
        return RETRY_INTERVAL;
    }
    interrupt();
    return INFINITE;
}
