#include "service/RestartSchedule.h"

#include <algorithm>

#include "logging/Logger.h"
#include "settings/Duration.h"

namespace {
const Logger logger(L"RestartSchedule");
}

std::optional<std::chrono::milliseconds> RestartSchedule::afterEnd(DWORD exitCode, std::chrono::milliseconds runTime)
{
    if (!wanted(exitCode)) {
        return std::nullopt;
    }
    if (runTime >= policy_.reset) {
        restarts_ = 0;
    }
    maxRestartsReached_ = policy_.maxRestarts != 0 && restarts_ >= policy_.maxRestarts;
    if (maxRestartsReached_) {
        logger.error(L"The program ended with exit code %d after %d restart(s) in a row; max-restarts allows no more",
                     static_cast<int>(exitCode), static_cast<int>(restarts_));
        return std::nullopt;
    }
    lastWait_ = restarts_ == 0 ? policy_.delay : std::min(lastWait_ * 2, policy_.maxDelay);
    ++restarts_;
    logger.warn(L"The program ended with exit code %d; restart %d in %s", static_cast<int>(exitCode),
                static_cast<int>(restarts_), formatDuration(lastWait_));
    return lastWait_;
}

bool RestartSchedule::wanted(DWORD exitCode) const
{
    switch (policy_.when) {
    case RestartWhen::Always: return true;
    case RestartWhen::Failure: return exitCode != 0;
    case RestartWhen::Never: break;
    }
    return false;
}
