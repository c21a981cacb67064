#include "logging/LoggerSetup.h"

#include <algorithm>

#include "logging/LogAppender.h"

namespace {

// Cleared however the write ends, so that an appender whose write threw once
// is not skipped for good.
class BusyFlag {
public:
    explicit BusyFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~BusyFlag() { flag_ = false; }
    BusyFlag(const BusyFlag&) = delete;
    BusyFlag& operator=(const BusyFlag&) = delete;

private:
    bool& flag_;
};

}  // namespace

LoggerSetup::LoggerSetup() : LogLevelSetup(LEVEL_ERROR) {}

// Attaching and detaching take the setup's lock, as dispatch does, so that no
// thread is inside an appender's write while it is detached and destroyed.
void LoggerSetup::addAppender(LogAppender* appender)
{
    removeAppender(appender);
    ScopedLock setupLock(*this);
    ScopedLock appenderLock(*appender);
    appender->owner_ = this;
    appenders_.push_back(appender);
}

void LoggerSetup::removeAppender(LogAppender* appender)
{
    LoggerSetup* owner = appender->owner_;
    if (owner == nullptr) {
        return;
    }
    ScopedLock setupLock(*owner);
    ScopedLock appenderLock(*appender);
    auto found = std::find(owner->appenders_.begin(), owner->appenders_.end(), appender);
    if (found != owner->appenders_.end()) {
        owner->appenders_.erase(found);
    }
}

void LoggerSetup::dispatch(int level, const std::wstring& prefix, const std::wstring& message)
{
    ScopedLock setupLock(*this);
    for (LogAppender* appender : appenders_) {
        ScopedLock appenderLock(*appender);
        // A message logged from inside this appender's own write would recurse.
        if (appender->busy_) {
            continue;
        }
        const BusyFlag busy(appender->busy_);
        appender->write(level, threshold(), prefix, message);
    }
}

void LoggerSetup::runAsWrite(LogAppender* appender, const std::function<void()>& body)
{
    ScopedLock setupLock(*this);
    ScopedLock appenderLock(*appender);
    if (appender->busy_) {
        return;
    }
    const BusyFlag busy(appender->busy_);
    body();
}
