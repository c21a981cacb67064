#pragma once

#include <windows.h>

// What the program may use, from <priority>, <affinity> and <limits> of
// <execution>; 0 stands for "not set".
struct ProgramResources {
    // IDLE_PRIORITY_CLASS to HIGH_PRIORITY_CLASS.
    DWORD priorityClass = 0;
    // Processors of group 0: bit n for processor n.
    ULONGLONG processors = 0;
    // Bytes committed by all processes of the program's job together.
    long long memoryLimit = 0;
    // Percent of the time of all processors together, a hard cap.
    unsigned cpuRate = 0;
    // Processes of the program's job at once.
    unsigned processLimit = 0;
};
