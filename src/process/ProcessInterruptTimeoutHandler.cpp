#include "process/ProcessInterruptTimeoutHandler.h"

#include <windows.h>

#include "logging/Logger.h"
#include "settings/SettingsInterfaces.h"

namespace {
const Logger logger(L"ProcessInterruptTimeoutHandler");
}

void ProcessInterruptTimeoutHandler::handle(const ChildProcess& child)
{
    if (gaveUp_) {
        onTimeout(child);
        return;
    }
    if (!begun_) {
        begun_ = beginStop(child);
        gaveUp_ = !begun_;
        startTick_ = GetTickCount();
        return;
    }
    const unsigned long long now = GetTickCount();
    if (now < startTick_) {
        // The tick counter wrapped: the time limit starts again.
        startTick_ = now;
        return;
    }
    if (static_cast<long long>(startTick_) + settings_->getStopTimeout() < static_cast<long long>(now)) {
        logger.warn(L"Failed to wait for process to exit...");
        gaveUp_ = true;
        return;
    }
    logger.debug(L"Waiting for process to exit...");
}

void ProcessInterruptTimeoutHandler::onTimeout(const ChildProcess& child) { fallback_.handle(child); }
