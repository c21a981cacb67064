#pragma once

#include <functional>
#include <string>
#include <vector>

#include "logging/CriticalSection.h"
#include "logging/LogLevel.h"

class LogAppender;

// The one process-wide logging configuration: a threshold and an ordered list
// of outputs that it does not own.
class LoggerSetup : public CriticalSection, public LogLevelSetup {
public:
    LoggerSetup();

    void addAppender(LogAppender* appender);
    void removeAppender(LogAppender* appender);
    void dispatch(int level, const std::wstring& prefix, const std::wstring& message);
    // Runs `body` for `appender` as dispatch runs its write: under the same
    // locks, with what it logs kept from that appender.
    void runAsWrite(LogAppender* appender, const std::function<void()>& body);

private:
    std::vector<LogAppender*> appenders_;
};
