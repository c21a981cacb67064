#include "logging/OutputLog.h"

OutputLog& OutputLog::ofProcess()
{
    static OutputLog instance;
    return instance;
}

OutputLog& OutputLog::ofErrors()
{
    static OutputLog instance;
    return instance;
}

void OutputLog::open(const std::wstring& file, const RollPolicy& policy, bool timestamps)
{
    ScopedLock lock(lock_);
    timestamps_ = timestamps;
    writer_.setPolicy(policy);
    writer_.open(file);
    open_ = true;
}

void OutputLog::close()
{
    ScopedLock lock(lock_);
    writer_.reportLossAtStop();
    writer_.close();
    open_ = false;
}

bool OutputLog::write(const std::wstring& line)
{
    ScopedLock lock(lock_);
    if (!open_) {
        return false;
    }
    writer_.writeLine(timestamps_ ? clock_.stamp() + line : line);
    scheduleRetry();
    return true;
}

bool OutputLog::isOpen()
{
    ScopedLock lock(lock_);
    return open_;
}

void OutputLog::scheduleRetry()
{
    const DWORD wait = writer_.millisecondsToRetry();
    if (wait != INFINITE && !retryScheduled_) {
        retryScheduled_ = true;
        retryTimer_.setIn(wait);
    }
}

void OutputLog::retry()
{
    ScopedLock lock(lock_);
    retryScheduled_ = false;
    writer_.retryLostRecords();
    scheduleRetry();
}
