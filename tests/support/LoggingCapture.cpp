#include "support/LoggingCapture.h"

#include "logging/Logger.h"
#include "logging/LoggerSetup.h"

class LoggingCapture::Recorder : public LogAppender {
public:
    std::vector<CapturedRecord> records;

    // Detached before the records go: another thread may still be logging.
    ~Recorder() override { detach(); }

    void write(int level, int threshold, const std::wstring& prefix, const std::wstring& message) override
    {
        records.push_back({level, threshold, prefix, message});
    }
};

LoggingCapture::LoggingCapture(int threshold)
    : recorder_(new Recorder), previousThreshold_(LoggerHolder::setup().threshold())
{
    LoggerHolder::setup().setLevel(threshold);
    LoggerHolder::addAppender(recorder_);
}

LoggingCapture::~LoggingCapture()
{
    delete recorder_;
    LoggerHolder::setup().setLevel(previousThreshold_);
}

std::vector<std::wstring> LoggingCapture::messages() const
{
    ScopedLock lock(*recorder_);
    std::vector<std::wstring> result;
    for (const CapturedRecord& record : recorder_->records) {
        result.push_back(record.message);
    }
    return result;
}

std::vector<CapturedRecord> LoggingCapture::records() const
{
    ScopedLock lock(*recorder_);
    return recorder_->records;
}

bool LoggingCapture::has(const std::wstring& message) const
{
    for (const std::wstring& candidate : messages()) {
        if (candidate == message) {
            return true;
        }
    }
    return false;
}

LogAppender& LoggingCapture::appender() { return *recorder_; }
