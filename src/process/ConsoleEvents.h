#pragma once

#include <windows.h>

// Whether this process is attached to a console.
bool hasConsole();

// Sends CTRL_C_EVENT or CTRL_BREAK_EVENT to the processes of a child's
// console: this process's own console when it has one (the child shares it),
// otherwise the child's, attached for the moment. The event never ends this
// process. False with the last error set when it could not be sent.
bool sendConsoleEvent(DWORD processId, DWORD event);
