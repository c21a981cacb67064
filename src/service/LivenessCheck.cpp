#include "service/LivenessCheck.h"

#include "logging/Logger.h"
#include "logging/ServiceEvents.h"

namespace {
const Logger logger(L"LivenessCheck");
}

bool LivenessCheck::onResult(bool held, const std::wstring& error)
{
    if (held) {
        if (failed_ > 0) {
            logger.info(L"The program answers %s again", check_.target.name());
        }
        failed_ = 0;
        return false;
    }
    ServiceEvents::healthCheckFailed(check_.target.name(), error, ++failed_);
    if (failed_ < check_.failures) {
        return false;
    }
    ServiceEvents::unhealthy(check_.target.name(), failed_);
    logger.warn(L"The program did not answer %s: %d probes failed, the last: %s; it is stopped and restarted",
                check_.target.name(), static_cast<int>(failed_), error);
    failed_ = 0;
    return true;
}
