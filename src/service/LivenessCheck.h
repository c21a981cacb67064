#pragma once

#include <string>

#include "settings/ProbeTarget.h"

// Counts the failed probes of the running program in a row and gives the
// verdict: unhealthy after as many as the health check allows. The verdict is
// a warning that goes to the Event Log too; each failure and the verdict are
// events of their own.
class LivenessCheck {
public:
    // `restarts`: a <restart> starts the program again after it was stopped.
    LivenessCheck(const HealthCheck& check, bool restarts) : check_(check), restarts_(restarts) {}

    // True when this result makes the program unhealthy; the count then starts again.
    bool onResult(bool held, const std::wstring& error);
    // A new run of the program starts with no failures.
    void reset() { failed_ = 0; }

private:
    HealthCheck check_;
    bool restarts_;
    unsigned failed_ = 0;
};
