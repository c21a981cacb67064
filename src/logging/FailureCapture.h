#pragma once

#include <string>

#include "logging/LogAppender.h"

// Keeps what went wrong while it lives: the last error logged, or else the
// last warning, as the message alone. For output that a program parses, which
// must name the failure itself.
class FailureCapture : public LogAppender {
public:
    FailureCapture();
    ~FailureCapture() override { detach(); }

    void write(int level, int threshold, const std::wstring& prefix, const std::wstring& message) override;
    // Empty when nothing went wrong.
    const std::wstring& text() const { return lastError_.empty() ? lastWarning_ : lastError_; }

private:
    std::wstring lastError_;
    std::wstring lastWarning_;
};
