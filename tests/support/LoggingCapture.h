#pragma once

#include <string>
#include <vector>

#include "logging/LogAppender.h"

struct CapturedRecord {
    int level;
    int threshold;
    std::wstring prefix;
    std::wstring message;
};

// Attaches a recording output to the process-wide logging for the lifetime of
// the object and restores the previous threshold afterwards.
class LoggingCapture {
public:
    explicit LoggingCapture(int threshold);
    ~LoggingCapture();

    std::vector<std::wstring> messages() const;
    std::vector<CapturedRecord> records() const;
    bool has(const std::wstring& message) const;
    LogAppender& appender();

private:
    class Recorder;
    Recorder* recorder_;
    int previousThreshold_;
};
