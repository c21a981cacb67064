#pragma once

#include <string>

#include "logging/CriticalSection.h"
#include "logging/LineClock.h"
#include "logging/RetryTimer.h"
#include "logging/RollFileWriter.h"

// The program's output lines as it wrote them, in a rolling file of their
// own, for tools that read the program's own format; each may begin with the
// local time it was read at. One per process, and one for the program's
// standard error when it has a file of its own, open while a service runs its
// program; lines of the program, its stop command and its hooks come from
// their reader threads.
class OutputLog {
public:
    static OutputLog& ofProcess();
    static OutputLog& ofErrors();

    void open(const std::wstring& file, const RollPolicy& policy, bool timestamps);
    // Reports the lines lost and not reported yet.
    void close();
    // False when no output log is open: the line belongs in the log then.
    bool write(const std::wstring& line);
    bool isOpen();

    // Keeps the output log open for as long as it lives.
    class Session {
    public:
        Session(OutputLog& log, const std::wstring& file, const RollPolicy& policy, bool timestamps) : log_(log)
        {
            log_.open(file, policy, timestamps);
        }
        ~Session() { log_.close(); }
        Session(const Session&) = delete;
        Session& operator=(const Session&) = delete;

    private:
        OutputLog& log_;
    };

private:
    OutputLog() : retryTimer_([this] { retry(); }) {}
    // Under the lock.
    void scheduleRetry();
    void retry();

    CriticalSection lock_;
    RollFileWriter writer_{RollFileWriter::Layout::Raw};
    bool open_ = false;
    bool timestamps_ = false;
    LineClock clock_;
    bool retryScheduled_ = false;
    // Last, so that it is destroyed first: no retry outlives the writer.
    RetryTimer retryTimer_;
};
