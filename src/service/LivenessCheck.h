#pragma once

#include <string>

#include "settings/ProbeTarget.h"

// Counts the failed probes of the running program in a row and gives the
// verdict: unhealthy after as many as the health check allows. The verdict is
// a warning that goes to the Event Log too; each failure and the verdict are
// events of their own.
class LivenessCheck {
public:
    explicit LivenessCheck(const HealthCheck& check) : check_(check) {}

    // True when this result makes the program unhealthy; the count then starts again.
    bool onResult(bool held, const std::wstring& error);

private:
    HealthCheck check_;
    unsigned failed_ = 0;
};
