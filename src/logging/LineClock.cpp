#include "logging/LineClock.h"

#include <stdlib.h>

namespace {

const LONGLONG TICKS_PER_MINUTE = 600000000;

// Writes `value` as `digits` decimal digits.
wchar_t* putDigits(wchar_t* at, unsigned value, int digits)
{
    for (int i = digits - 1; i >= 0; --i) {
        at[i] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    }
    return at + digits;
}

ULONGLONG ticksOf(const FILETIME& time)
{
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME fileTimeOf(ULONGLONG ticks)
{
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(ticks);
    time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return time;
}

}  // namespace

std::wstring lineStamp(const SYSTEMTIME& local, int offsetMinutes)
{
    wchar_t text[32];
    wchar_t* at = putDigits(text, local.wYear, 4);
    *at++ = L'-';
    at = putDigits(at, local.wMonth, 2);
    *at++ = L'-';
    at = putDigits(at, local.wDay, 2);
    *at++ = L'T';
    at = putDigits(at, local.wHour, 2);
    *at++ = L':';
    at = putDigits(at, local.wMinute, 2);
    *at++ = L':';
    at = putDigits(at, local.wSecond, 2);
    *at++ = L'.';
    at = putDigits(at, local.wMilliseconds, 3);
    *at++ = offsetMinutes < 0 ? L'-' : L'+';
    const unsigned offset = static_cast<unsigned>(abs(offsetMinutes));
    at = putDigits(at, offset / 60, 2);
    *at++ = L':';
    at = putDigits(at, offset % 60, 2);
    *at++ = L' ';
    return std::wstring(text, at);
}

std::wstring LineClock::stamp()
{
    FILETIME utc;
    GetSystemTimeAsFileTime(&utc);
    const ULONGLONG now = ticksOf(utc);
    const ULONGLONG minute = now / TICKS_PER_MINUTE;
    if (minute != minute_) {
        // Converts with the offset in force now, daylight saving time included.
        FILETIME local;
        if (FileTimeToLocalFileTime(&utc, &local)) {
            offset_ = static_cast<LONGLONG>(ticksOf(local) - now);
            minute_ = minute;
        }
    }
    const FILETIME local = fileTimeOf(static_cast<ULONGLONG>(static_cast<LONGLONG>(now) + offset_));
    SYSTEMTIME time = {};
    FileTimeToSystemTime(&local, &time);
    const LONGLONG offsetMinutes = offset_ / TICKS_PER_MINUTE;
    return lineStamp(time, static_cast<int>(offsetMinutes));
}
