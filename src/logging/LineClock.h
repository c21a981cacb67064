#pragma once

#include <windows.h>

#include <string>

// "2026-12-09T17:20:31.123+01:00 ": a local time with milliseconds and its
// offset from UTC in minutes, in ISO 8601, and the blank that separates it
// from the line it stamps.
std::wstring lineStamp(const SYSTEMTIME& local, int offsetMinutes);

// Stamps the program's lines with the local time they were read at. Time
// zones and daylight saving time change the offset only at a whole minute, so
// it is looked up once a minute: a line costs a read of the system clock.
class LineClock {
public:
    std::wstring stamp();

private:
    // The UTC minute the offset was looked up in.
    ULONGLONG minute_ = ~0ULL;
    // Local time minus UTC, in 100 ns.
    LONGLONG offset_ = 0;
};
