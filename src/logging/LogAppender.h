#pragma once

#include <string>

#include "logging/CriticalSection.h"

class LoggerSetup;

// One output of the logging configuration.
class LogAppender : public CriticalSection {
public:
    ~LogAppender() override;

    virtual void write(int level, int threshold, const std::wstring& prefix,
                       const std::wstring& message) = 0;

private:
    friend class LoggerSetup;
    LoggerSetup* owner_ = nullptr;
    bool busy_ = false;
};
