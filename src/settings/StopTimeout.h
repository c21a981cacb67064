#pragma once

#include <string>

class ServiceTaskSettings;

// Reads the termination timeout, written in minutes (a decimal fraction is
// allowed), into milliseconds. Logs why a value is refused and returns false.
bool parseStopTimeout(const std::wstring& value, int& milliseconds);

constexpr int DEFAULT_STOP_TIMEOUT = 120000;

// How long a stop may take: the stop timeout and that of the post-stop
// command, which the stop waits for.
int timeToStop(const ServiceTaskSettings& settings);
