#pragma once

#include <string>

// Reads the termination timeout, written in minutes (a decimal fraction is
// allowed), into milliseconds. Logs why a value is refused and returns false.
bool parseStopTimeout(const std::wstring& value, int& milliseconds);

constexpr int DEFAULT_STOP_TIMEOUT = 120000;
