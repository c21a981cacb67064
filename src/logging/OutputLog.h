#pragma once

#include <string>

#include "logging/CriticalSection.h"
#include "logging/RetryTimer.h"
#include "logging/RollFileWriter.h"

// The program's output lines as it wrote them, in a rolling file of their
// own, for tools that read the program's own format. One per process, open
// while a service runs its program; lines of the program and of its stop
// command come from their reader threads.
class OutputLog {
public:
    static OutputLog& ofProcess();

    void open(const std::wstring& file, const RollPolicy& policy);
    // Reports the lines lost and not reported yet.
    void close();
    // False when no output log is open: the line belongs in the log then.
    bool write(const std::wstring& line);
    bool isOpen();

    // Keeps the output log open for as long as it lives.
    class Session {
    public:
        Session(const std::wstring& file, const RollPolicy& policy) { ofProcess().open(file, policy); }
        ~Session() { ofProcess().close(); }
        Session(const Session&) = delete;
        Session& operator=(const Session&) = delete;
    };

private:
    OutputLog() : retryTimer_([this] { retry(); }) {}
    // Under the lock.
    void scheduleRetry();
    void retry();

    CriticalSection lock_;
    RollFileWriter writer_{RollFileWriter::Layout::Raw};
    bool open_ = false;
    bool retryScheduled_ = false;
    // Last, so that it is destroyed first: no retry outlives the writer.
    RetryTimer retryTimer_;
};
