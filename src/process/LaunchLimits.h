#pragma once

#include <cstddef>

class ExecutionSettings;

// CreateProcess takes a command line of at most this many characters, its
// terminating zero included.
constexpr size_t COMMAND_LINE_CAPACITY = 32767;
// The longest current directory a process can have: MAX_PATH less the
// backslash the system adds at its end and the terminating zero.
constexpr size_t WORK_DIRECTORY_CAPACITY = 258;

// Logs why CreateProcess would refuse to start the program `settings`
// describe and returns 1; 0 when neither its work directory nor its command
// line is too long.
int checkLaunchLimits(const ExecutionSettings& settings);
