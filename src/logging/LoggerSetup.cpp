#include "logging/LoggerSetup.h"

#include <algorithm>

#include "logging/LogAppender.h"

LoggerSetup::LoggerSetup() : LogLevelSetup(LEVEL_ERROR) {}

void LoggerSetup::addAppender(LogAppender* appender)
{
    ScopedLock appenderLock(*appender);
    removeAppender(appender);
    appender->owner_ = this;
    appenders_.push_back(appender);
}

void LoggerSetup::removeAppender(LogAppender* appender)
{
    ScopedLock appenderLock(*appender);
    LoggerSetup* owner = appender->owner_;
    if (owner == nullptr) {
        return;
    }
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
        appender->busy_ = true;
        appender->write(level, threshold(), prefix, message);
        appender->busy_ = false;
    }
}
