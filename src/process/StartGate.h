#pragma once

#include "logging/CriticalSection.h"

// What a service decides at the last moment before a program of its settings
// starts: the program itself, a restart of it, or the stop command.
class StartGate {
public:
    virtual ~StartGate() = default;
    // False when a file or folder that decides what runs may have been changed
    // by others since the last look; the findings are logged.
    virtual bool filesTrusted() = 0;
    // The lock a stop request takes. The program is created under it: a stop
    // comes either before, and the program does not start, or after, and
    // finds it running.
    virtual CriticalSection& stopLock() = 0;
};
