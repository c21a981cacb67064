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

protected:
    // Detaches from the setup. An appender whose write uses parts of a derived
    // class calls it from its own destructor, before those parts are gone.
    void detach();

private:
    friend class LoggerSetup;
    LoggerSetup* owner_ = nullptr;
    bool busy_ = false;
};
