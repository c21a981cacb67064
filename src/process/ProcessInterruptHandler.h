#pragma once

#include <windows.h>

class ChildProcess;

// The last step a stop took: what ended the program, when it ended after it.
enum class StopStep { None, ConsoleEvent, StopCommand, Kill };

// Decides how an interrupted process command stops its child. Called on the
// command's thread when the stop begins and then when the time it asked for
// has passed, until the child has ended.
class ProcessInterruptHandler {
public:
    virtual ~ProcessInterruptHandler() = default;
    // What handle() returns for a child that did not end in time after it was
    // killed: it is waited for no longer.
    static constexpr DWORD GIVE_UP = INFINITE;

    // Takes the next step; returns the milliseconds until the step after it,
    // or GIVE_UP.
    virtual DWORD handle(const ChildProcess& child) = 0;
    virtual StopStep lastStep() const = 0;
};
