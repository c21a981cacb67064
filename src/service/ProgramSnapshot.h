#pragma once

#include <windows.h>

#include <optional>
#include <string>

// What the service's program is doing and has done, as the service's state
// file keeps it for status.
class ProgramSnapshot {
public:
    // The state a service wrote; nothing when there is no such file or it
    // cannot be read.
    static std::optional<ProgramSnapshot> read(const std::wstring& file);

    std::optional<DWORD> processId;  // while the program runs
    std::wstring startedAt;          // of the last start, ISO 8601 UTC; empty before the first
    unsigned restarts = 0;           // in the current series
    unsigned long long restartsTotal = 0;  // since the service started
    unsigned long long recycles = 0;
    std::optional<DWORD> lastExitCode;
    // What the program's health check last said; null until there is one.
    std::optional<std::wstring> health;
    unsigned long long logRecordsLost = 0;

    // The JSON object: processId, startedAt, restarts, lastExitCode, health,
    // restartsTotal, recycles and logRecordsLost, null where there is nothing
    // to say.
    std::wstring json() const;
    // "program process id 5120, started 2026-12-07 14:03:08, 2 restarts, last exit code 3"
    std::wstring text() const;
};

// Seconds since 1970-01-01 UTC of a time such as "2026-12-07T14:03:08Z";
// nothing for a text of another form.
std::optional<long long> unixSeconds(const std::wstring& utc);
