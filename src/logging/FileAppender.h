#pragma once

#include "logging/LogAppender.h"
#include "logging/RollFileWriter.h"

// The log file output; writes nothing until a file has been opened.
class FileAppender : public LogAppender, public RollFileWriter {
public:
    // Detached before the writer goes, which the base classes would do only after.
    ~FileAppender() override { detach(); }
    void write(int level, int threshold, const std::wstring& prefix, const std::wstring& message) override;
};
