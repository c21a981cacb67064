#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Writes "[Native Error] <text>" as one line on standard error. */
void writeNativeError(const char* text);

/* For failures in the console handler routine: the line, then a pause that
   leaves the user time to read it before the closing console takes it away.
   Yields FALSE, the routine's result for a failure. */
BOOL reportNativeError(const char* text);

/* The line for a failed SetConsoleCtrlHandler, with the error code in decimal. */
void writeCtrlHandlerFailure(DWORD code);

#ifdef __cplusplus
}
#endif
