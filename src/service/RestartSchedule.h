#pragma once

#include <windows.h>

#include <chrono>
#include <optional>

#include "settings/RestartPolicy.h"

// Decides, each time the program has ended by itself, whether and after what
// wait the service starts it again, and says so in the log: a restart is a
// warning, the end of a series an error.
class RestartSchedule {
public:
    explicit RestartSchedule(const RestartPolicy& policy) : policy_(policy) {}

    // The wait before the next start of a program that ended with `exitCode`
    // after running for `runTime`; nothing when it is not started again.
    std::optional<std::chrono::milliseconds> afterEnd(DWORD exitCode, std::chrono::milliseconds runTime);
    // The restarts of the current series.
    unsigned restarts() const { return restarts_; }
    // True when the last end was not followed by a restart because
    // max-restarts allows no more.
    bool maxRestartsReached() const { return maxRestartsReached_; }

private:
    bool wanted(DWORD exitCode) const;

    RestartPolicy policy_;
    unsigned restarts_ = 0;  // in the current series
    std::chrono::milliseconds lastWait_{0};
    bool maxRestartsReached_ = false;
};
