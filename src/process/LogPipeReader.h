#pragma once

#include "logging/Logger.h"
#include "logging/OutputLog.h"
#include "process/PipeReaderCallback.h"

// Writes every line to the output log when one is open, else to the log at
// Info under a logger name of its own.
class LogPipeReader : public PipeReaderCallback, public Logger {
public:
    explicit LogPipeReader(const std::wstring& loggerName) : Logger(loggerName) {}
    void onLine(const std::wstring& line) override
    {
        if (!OutputLog::ofProcess().write(line)) {
            info(line);
        }
    }
};
