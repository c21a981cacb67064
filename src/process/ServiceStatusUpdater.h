#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>

#include "logging/CriticalSection.h"
#include "process/PipeReaderCallback.h"

class ServiceStatus;

// Stands in front of the callback that logs the program's output and decides
// when the service counts as running: once each of its conditions holds.
class ServiceStatusUpdater : public PipeReaderCallback {
public:
    ServiceStatusUpdater(ServiceStatus* status, PipeReaderCallback* target, unsigned conditions)
        : status_(status), conditions_(conditions), unheld_(conditions), output_(this, target)
    {
    }

    // The lines of the program's standard output, and of its standard error
    // while that shares the output's pipe.
    void onLine(const std::wstring& line) override { output_.onLine(line); }
    void onPiece(const std::wstring& piece) override { output_.onPiece(piece); }
    // The program's standard error is read apart from its output: its lines
    // go to `target` and count for the conditions as the output's do.
    void readErrorsInto(PipeReaderCallback* target) { errors_.target = target; }
    // The callback for the lines of standard error; null while it shares the output's pipe.
    PipeReaderCallback* errorStream() { return errors_.target != nullptr ? &errors_ : nullptr; }

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
    // `callback` is called once the service counts as running: at once when
    // it does, else on the thread that makes it so. Null: nothing is called.
    void whenRunning(std::function<void()> callback);
    // True when the service counts as running only once conditions hold.
    bool hasConditions() const { return conditions_ > 0; }
    // The conditions start over, for a program that was recycled: the
    // service counts as running again once each holds again.
    virtual void restartConditions();

protected:
    // A line, or a piece of one, of one of the program's streams; `tail` is
    // the stream's own, for what a search must keep between pieces.
    virtual void watchLine(std::wstring& tail, const std::wstring& line);
    virtual void watchPiece(std::wstring& tail, const std::wstring& piece);

    ServiceStatus* status_;
    const unsigned conditions_;
    std::atomic<unsigned> unheld_;
    std::atomic<bool> reported_{false};

private:
    // One of the program's streams: its lines go on to the target and are watched.
    struct Stream : public PipeReaderCallback {
        Stream(ServiceStatusUpdater* updater, PipeReaderCallback* next) : owner(updater), target(next) {}
        void onLine(const std::wstring& line) override;
        void onPiece(const std::wstring& piece) override;

        ServiceStatusUpdater* owner;
        PipeReaderCallback* target;
        std::wstring tail;
    };

    void reportRunning();

    // Since when the conditions are waited for.
    std::atomic<ULONGLONG> since_{GetTickCount64()};
    Stream output_;
    Stream errors_{this, nullptr};
    CriticalSection runningLock_;
    // Under runningLock_.
    bool running_ = false;
    std::function<void()> whenRunning_;
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

protected:
    void watchLine(std::wstring& tail, const std::wstring& line) override;
    // The marker may be cut between two pieces of a long line: the end of the
    // pieces so far is searched with the next.
    void watchPiece(std::wstring& tail, const std::wstring& piece) override;

private:
    void watch(const std::wstring& text);

    std::wstring marker_;
    std::atomic<bool> watching_{true};
};

// Only passes the lines on: without a marker the conditions are the readiness
// probes, and without those the service is reported running before the
// program starts.
class DumpServiceStatsusUpdater : public ServiceStatusUpdater {
public:
    using ServiceStatusUpdater::ServiceStatusUpdater;
};
