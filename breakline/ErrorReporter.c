#include "ErrorReporter.h"

#include <stdio.h>

static const DWORD READING_PAUSE_MS = 2000;

void writeNativeError(const char* text)
{
    fprintf(stderr, "[Native Error] %s\n", text);
}

BOOL reportNativeError(const char* text)
{
    writeNativeError(text);
    Sleep(READING_PAUSE_MS);
    return FALSE;
}

void writeCtrlHandlerFailure(DWORD code)
{
    fprintf(stderr, "[Native Error] Failed to set console CTRL handler: %lu\n", code);
}
