#pragma once

#include <windows.h>

// Told by the thread that supervises the program that it still does its work.
// While the service reports a pending state its progress rises only with these
// beats, so a stop that hangs shows as hung to the service control manager
// instead of being reported as progress by a thread that knows nothing of it.
class Heartbeat {
public:
    // The longest the supervising thread waits between two beats while they are wanted.
    static constexpr DWORD INTERVAL = 500;

    virtual ~Heartbeat() = default;
    // True while beats are wanted: the service's state is pending.
    virtual bool beat() = 0;
};
