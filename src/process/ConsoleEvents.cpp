#include "process/ConsoleEvents.h"

namespace {

// The event reaches every process on the console, this one included, and it
// may arrive after the console was left again: the handler stays.
BOOL WINAPI ignoreStopEvents(DWORD controlType)
{
    return controlType == CTRL_C_EVENT || controlType == CTRL_BREAK_EVENT;
}

}  // namespace

bool hasConsole()
{
    DWORD processId = 0;
    return GetConsoleProcessList(&processId, 1) > 0;
}

bool sendConsoleEvent(DWORD processId, DWORD event)
{
    if (hasConsole()) {
        return GenerateConsoleCtrlEvent(event, 0) != FALSE;
    }
    static const BOOL ignoring = SetConsoleCtrlHandler(ignoreStopEvents, TRUE);
    if (!ignoring || !AttachConsole(processId)) {
        return false;
    }
    const BOOL sent = GenerateConsoleCtrlEvent(event, 0);
    const DWORD error = GetLastError();
    FreeConsole();
    SetLastError(error);
    return sent != FALSE;
}
