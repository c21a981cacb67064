#pragma once

class ChildProcess;

// Decides how an interrupted process command stops its child. Called on the
// command's thread once per poll cycle while the child still runs.
class ProcessInterruptHandler {
public:
    virtual ~ProcessInterruptHandler() = default;
    virtual void handle(const ChildProcess& child) = 0;
};
