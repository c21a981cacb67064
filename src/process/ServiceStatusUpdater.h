#pragma once

#include <atomic>
#include <string>

#include "process/PipeReaderCallback.h"

class ServiceStatus;

// Stands in front of the callback that logs the program's output and decides
// when the service counts as running.
class ServiceStatusUpdater : public PipeReaderCallback {
public:
    ServiceStatusUpdater(ServiceStatus* status, PipeReaderCallback* target) : status_(status), target_(target) {}

    // True once this updater has reported the service running; any thread may ask.
    bool hasReported() const { return reported_; }

protected:
    void reportRunningOnce();

    ServiceStatus* status_;
    PipeReaderCallback* target_;
    std::atomic<bool> reported_{false};
};

// The service is running once the program has printed a line that contains
// the started marker (letter case counts).
class TokenFilteringServiceStatusUpdater : public ServiceStatusUpdater {
public:
    TokenFilteringServiceStatusUpdater(ServiceStatus* status, PipeReaderCallback* target, std::wstring marker)
        : ServiceStatusUpdater(status, target), marker_(std::move(marker))
    {
    }
    void onLine(const std::wstring& line) override;
    // The marker may be cut between two pieces of a long line: the end of the
    // pieces so far is searched with the next.
    void onPiece(const std::wstring& piece) override;

private:
    void watch(const std::wstring& text);

    std::wstring marker_;
    bool watching_ = true;
    // The end of the pieces of the current line, shorter than the marker.
    std::wstring tail_;
};

// Only passes the lines on: without a marker the service is reported running
// before the program starts.
class DumpServiceStatsusUpdater : public ServiceStatusUpdater {
public:
    using ServiceStatusUpdater::ServiceStatusUpdater;
    void onLine(const std::wstring& line) override { target_->onLine(line); }
    void onPiece(const std::wstring& piece) override { target_->onPiece(piece); }
};
