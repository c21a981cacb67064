#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Console control routine: on the close of the console window it calls the
   registered handler's run() once, on the thread the system created for the
   event. Every other event is left to the next routine (FALSE). */
BOOL WINAPI handleConsoleControl(DWORD controlType);

#ifdef __cplusplus
}
#endif
