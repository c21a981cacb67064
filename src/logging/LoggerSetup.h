#pragma once

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

private:
    std::vector<LogAppender*> appenders_;
};
