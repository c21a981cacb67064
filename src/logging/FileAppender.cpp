#include "logging/FileAppender.h"

#include "logging/Logger.h"
#include "logging/LoggerSetup.h"

FileAppender::~FileAppender()
{
    retryTimer_.stop();
    detach();
}

void FileAppender::write(int, int, const std::wstring& prefix, const std::wstring& message)
{
    RollFileWriter::write(prefix, message);
    scheduleRetry();
}

void FileAppender::reportLossAtStop()
{
    LoggerHolder::setup().runAsWrite(this, [this] { RollFileWriter::reportLossAtStop(); });
}

// Under the appender's lock.
void FileAppender::scheduleRetry()
{
    const DWORD wait = millisecondsToRetry();
    if (wait != INFINITE && !retryScheduled_) {
        retryScheduled_ = true;
        retryTimer_.setIn(wait);
    }
}

// What the writer then logs reaches the other outputs, as from a record.
void FileAppender::retry()
{
    LoggerHolder::setup().runAsWrite(this, [this] {
        retryScheduled_ = false;
        retryLostRecords();
        scheduleRetry();
    });
}
