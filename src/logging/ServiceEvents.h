#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The kinds of events of a running service that monitoring tells apart by
// their Event Log id. Subscriptions select them by id: an id never changes
// once released, and a new kind gets a new one.
enum class ServiceEventId : DWORD {
    ProgramStarted = 1000,
    Ready = 1001,
    StoppedOnRequest = 1002,
    ProgramEnded = 1003,
    RestartScheduled = 1004,
    HealthCheckFailed = 1005,
    Unhealthy = 1006,
    GaveUp = 1007,
    RecordsLost = 1008,
    FileRefused = 1009,
    Recycled = 1010,
};

// One event: its id, its Event Log type (EVENTLOG_INFORMATION_TYPE, ...) and
// its insertion strings after the service's name, which the sink adds.
struct ServiceEvent {
    ServiceEventId id;
    WORD type;
    std::vector<std::wstring> strings;
    // What the event adds to a counter: the records lost; 0 for the others.
    unsigned long long count = 0;
};

// Why a service gives up: the reason of a GaveUp event.
struct GiveUpReason {
    static constexpr const wchar_t* START_LIMIT = L"start limit";
    static constexpr const wchar_t* MAX_RESTARTS = L"max restarts";
    static constexpr const wchar_t* PRE_START_FAILED = L"pre-start failed";
    static constexpr const wchar_t* FILES_REFUSED = L"files refused";
    static constexpr const wchar_t* SETTINGS_REFUSED = L"settings refused";
    static constexpr const wchar_t* PROGRAM_NOT_STARTED = L"program not started";
    static constexpr const wchar_t* STOP_FAILED = L"stop failed";
    static constexpr const wchar_t* PROGRAM_ENDED = L"program ended";
    static constexpr const wchar_t* UNHEALTHY = L"unhealthy";
};

// Receives the service's events, one at a time, from any thread.
class ServiceEventSink {
public:
    virtual ~ServiceEventSink() = default;
    virtual void onServiceEvent(const ServiceEvent& event) = 0;
};

// Hands each event to the sinks attached at that moment; without one, as in
// the console commands, an event goes nowhere. One function per kind, called
// where the event happens.
class ServiceEvents {
public:
    // Attaches a sink for the attachment's lifetime.
    class Attachment {
    public:
        explicit Attachment(ServiceEventSink* sink);
        ~Attachment();
        Attachment(const Attachment&) = delete;
        Attachment& operator=(const Attachment&) = delete;

    private:
        ServiceEventSink* sink_;
    };

    static void programStarted(DWORD processId, const std::wstring& commandLine);
    // `how`: "marker", "probes", "marker and probes" or "at once".
    static void ready(const std::wstring& how, ULONGLONG milliseconds);
    // `how`: "exited", "console event", "stop command" or "killed".
    static void stoppedOnRequest(const std::wstring& how, ULONGLONG milliseconds);
    static void programEnded(DWORD exitCode, ULONGLONG runMilliseconds);
    static void restartScheduled(unsigned restart, ULONGLONG delayMilliseconds);
    static void healthCheckFailed(const std::wstring& probe, const std::wstring& answer, unsigned failuresInARow);
    static void unhealthy(const std::wstring& probe, unsigned failures);
    // `reason`: one of GiveUpReason's.
    static void gaveUp(const std::wstring& reason, DWORD serviceSpecificExitCode);
    static void recordsLost(unsigned long long count, const std::wstring& file, const std::wstring& reason);
    static void fileRefused(const std::wstring& file, const std::wstring& account, const std::wstring& right);
    static void recycled(const std::wstring& reason);

    static void report(const ServiceEvent& event);
};
