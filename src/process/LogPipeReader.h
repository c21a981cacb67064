#pragma once

#include <string>

#include "logging/Logger.h"
#include "logging/OutputLog.h"
#include "process/PipeReaderCallback.h"

// Writes every line to its output log when that is open: whole, however it was
// cut into reads, with its trailing blanks. Else to the log at Info under a
// logger name of its own, trimmed, and a long line in pieces as it comes.
class LogPipeReader : public PipeReaderCallback, public Logger {
public:
    // The longest line of the output log; a longer one is cut into lines of this length.
    static const size_t LONGEST_LINE = 1048576;

    explicit LogPipeReader(const std::wstring& loggerName, OutputLog& outputLog = OutputLog::ofProcess())
        : Logger(loggerName), outputLog_(outputLog)
    {
    }
    void onLine(const std::wstring& line) override;
    void onPiece(const std::wstring& piece) override;

private:
    // Writes lines of the longest length while the line under way is longer.
    void cutLongLine();

    OutputLog& outputLog_;
    // The pieces of the line under way, for the output log.
    std::wstring partial_;
    bool cutWarned_ = false;
};
