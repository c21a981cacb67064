#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "process/PipeReaderCallback.h"

class ServiceStatus;

// Stands in front of the callback that logs the program's output and decides
// when the service counts as running: once each of its conditions holds.
class ServiceStatusUpdater : public PipeReaderCallback {
public:
    ServiceStatusUpdater(ServiceStatus* status, PipeReaderCallback* target, unsigned conditions)
        : status_(status), target_(target), conditions_(conditions), unheld_(conditions)
    {
    }

    // True once this updater has reported the service running; any thread may ask.
    bool hasReported() const { return reported_; }
    // One of the conditions holds; the last one reports the service running.
    void conditionHeld();
    // Without conditions the service runs before the program has started.
    void reportRunningWithoutConditions();
    // The started marker this updater waits for and has not seen; null: none.
    virtual const std::wstring* pendingMarker() const { return nullptr; }
    // What made the service count as running: "probes" or "at once" here.
    virtual std::wstring readiness() const { return conditions_ > 0 ? L"probes" : L"at once"; }
    // True when the service counts as running only once conditions hold.
    bool hasConditions() const { return conditions_ > 0; }
    // The conditions start over, for a program that was recycled: the
    // service counts as running again once each holds again.
    virtual void restartConditions();

protected:
    ServiceStatus* status_;
    PipeReaderCallback* target_;
    const unsigned conditions_;
    std::atomic<unsigned> unheld_;
    std::atomic<bool> reported_{false};

private:
    void reportRunning();

    // Since when the conditions are waited for.
    std::atomic<ULONGLONG> since_{GetTickCount64()};
};

// One of the conditions is a line of the program's that contains the started
// marker (letter case counts); `otherConditions` are the readiness probes.
class TokenFilteringServiceStatusUpdater : public ServiceStatusUpdater {
public:
    TokenFilteringServiceStatusUpdater(ServiceStatus* status, PipeReaderCallback* target, std::wstring marker,
                                       unsigned otherConditions = 0)
        : ServiceStatusUpdater(status, target, otherConditions + 1), marker_(std::move(marker))
    {
    }
    const std::wstring* pendingMarker() const override { return watching_ ? &marker_ : nullptr; }
    std::wstring readiness() const override { return conditions_ > 1 ? L"marker and probes" : L"marker"; }
    void restartConditions() override;
    void onLine(const std::wstring& line) override;
    // The marker may be cut between two pieces of a long line: the end of the
    // pieces so far is searched with the next.
    void onPiece(const std::wstring& piece) override;

private:
    void watch(const std::wstring& text);

    std::wstring marker_;
    std::atomic<bool> watching_{true};
    // The end of the pieces of the current line, shorter than the marker.
    std::wstring tail_;
};

// Only passes the lines on: without a marker the conditions are the readiness
// probes, and without those the service is reported running before the
// program starts.
class DumpServiceStatsusUpdater : public ServiceStatusUpdater {
public:
    using ServiceStatusUpdater::ServiceStatusUpdater;
    void onLine(const std::wstring& line) override { target_->onLine(line); }
    void onPiece(const std::wstring& piece) override { target_->onPiece(piece); }
};
