#include "process/ProcessInterruptTimeoutHandler.h"

#include <windows.h>

#include "logging/ErrorText.h"
#include "logging/Logger.h"
#include "process/ChildProcess.h"
#include "process/ConsoleEvents.h"
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
        const bool eventSent = sendStopEvent(child);
        begun_ = beginStop(child) || eventSent;
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

bool ProcessInterruptTimeoutHandler::sendStopEvent(const ChildProcess& child)
{
    const ConsoleEvent event = settings_->getConsoleEvent();
    if (event == ConsoleEvent::None) {
        return false;
    }
    const wchar_t* name = event == ConsoleEvent::CtrlC ? L"Ctrl+C" : L"Ctrl+Break";
    logger.info(L"Sending %s to the process", name);
    if (!sendConsoleEvent(GetProcessId(child.process()), event == ConsoleEvent::CtrlC ? CTRL_C_EVENT : CTRL_BREAK_EVENT)) {
        logger.warn(L"Failed to send %s to the process. %s", name, lastErrorText());
        return false;
    }
    return true;
}

void ProcessInterruptTimeoutHandler::onTimeout(const ChildProcess& child) { fallback_.handle(child); }
