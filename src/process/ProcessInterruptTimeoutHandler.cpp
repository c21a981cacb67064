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

DWORD ProcessInterruptTimeoutHandler::handle(const ChildProcess& child)
{
    if (!begun_) {
        begun_ = true;
        eventSent_ = sendStopEvent(child);
        stopBegun_ = beginStop(child);
        if (eventSent_ || stopBegun_) {
            const long timeout = settings_->getStopTimeout();
            deadline_ = GetTickCount64() + static_cast<ULONGLONG>(timeout > 0 ? timeout : 0);
            logger.debug(L"Waiting for process to exit...");
            return remaining();
        }
        // Nothing was asked of the program: there is nothing to wait for.
        gaveUp_ = true;
    } else if (!gaveUp_) {
        if (remaining() > 0) {
            return remaining();
        }
        logger.warn(L"Failed to wait for process to exit...");
        gaveUp_ = true;
    }
    return onTimeout(child);
}

StopStep ProcessInterruptTimeoutHandler::lastStep() const
{
    if (fallback_.lastStep() == StopStep::Kill) {
        return StopStep::Kill;
    }
    return stopBegun_ ? StopStep::StopCommand : eventSent_ ? StopStep::ConsoleEvent : StopStep::None;
}

DWORD ProcessInterruptTimeoutHandler::remaining() const
{
    const ULONGLONG now = GetTickCount64();
    return now < deadline_ ? static_cast<DWORD>(deadline_ - now) : 0;
}

bool ProcessInterruptTimeoutHandler::sendStopEvent(const ChildProcess& child)
{
    const ConsoleEvent event = settings_->getConsoleEvent();
    if (event == ConsoleEvent::None) {
        return false;
    }
    const wchar_t* name = event == ConsoleEvent::CtrlC ? L"Ctrl+C" : L"Ctrl+Break";
    // A second event makes many programs skip their graceful shutdown.
    if (consoleEventReceived_ != nullptr && *consoleEventReceived_) {
        logger.info(L"The program has received the console's event already; no %s is sent", name);
        return true;
    }
    logger.info(L"Sending %s to the process", name);
    if (!sendConsoleEvent(GetProcessId(child.process()), event == ConsoleEvent::CtrlC ? CTRL_C_EVENT : CTRL_BREAK_EVENT)) {
        logger.warn(L"Failed to send %s to the process. %s", name, lastErrorText());
        return false;
    }
    return true;
}

DWORD ProcessInterruptTimeoutHandler::onTimeout(const ChildProcess& child) { return fallback_.handle(child); }
