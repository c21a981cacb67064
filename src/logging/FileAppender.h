#pragma once

#include "logging/LogAppender.h"
#include "logging/RetryTimer.h"
#include "logging/RollFileWriter.h"

// The log file output; writes nothing until a file has been opened.
class FileAppender : public LogAppender, public RollFileWriter {
public:
    FileAppender() : retryTimer_([this] { retry(); }) {}
    // The retries end and the appender is detached before the writer goes,
    // which the base classes would do only after.
    ~FileAppender() override;
    void write(int level, int threshold, const std::wstring& prefix, const std::wstring& message) override;
    // At the service's stop, while the Event Log still hears what the file cannot take.
    void reportLossAtStop();

private:
    void scheduleRetry();
    void retry();

    bool retryScheduled_ = false;
    RetryTimer retryTimer_;
};
