#include "process/ProcessInterruptTerminateHandler.h"

#include <chrono>

#include "common/TextConversion.h"
#include "logging/ErrorText.h"
#include "logging/Logger.h"
#include "process/ChildProcess.h"
#include "settings/Duration.h"

namespace {
const Logger logger(L"ProcessInterruptTerminateHandler");
}

DWORD ProcessInterruptTerminateHandler::handle(const ChildProcess& child)
{
    const ULONGLONG now = GetTickCount64();
    if (!killing_) {
        killing_ = true;
        killStarted_ = now;
    }
    const ULONGLONG waited = now - killStarted_;
    if (waited >= killWait_) {
        logger.error(L"%s (process id %lu) did not end within %s of being killed; it is given up", killed_,
                     GetProcessId(child.process()), formatDuration(std::chrono::milliseconds(killWait_)));
        return GIVE_UP;
    }
    const DWORD left = static_cast<DWORD>(killWait_ - waited);
    if (isInterrupted()) {
        return left;
    }
    logger.info(L"%s will be killed, exit code would be 42", killed_);
    if (!child.terminate(TERMINATED_EXIT_CODE)) {
        logger.warn(L"Failed to terminate %s. %s", lowerCaseAscii(killed_), lastErrorText());
        return left < RETRY_INTERVAL ? left : RETRY_INTERVAL;
    }
    interrupt();
    return left;
}
