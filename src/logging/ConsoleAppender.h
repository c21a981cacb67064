#pragma once

#include "logging/LogAppender.h"

// Standard output: the bare message, or with debug logging the logger prefix too.
class ConsoleAppender : public LogAppender {
public:
    void write(int level, int threshold, const std::wstring& prefix,
               const std::wstring& message) override;
};
