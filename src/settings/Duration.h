#pragma once

#include <chrono>
#include <string>

// A length of time from the settings, written as a whole number and a unit:
// "500ms", "5s", "2m", "1h". The text is kept for messages that quote it.
struct Duration {
    std::chrono::milliseconds length{0};
    std::wstring text;
};

// The longest duration the settings take: every wait of Windows' own can hold it.
constexpr std::chrono::hours LONGEST_DURATION{1000};

// Reads `written` (white space around it is ignored) into `duration`. Returns
// the empty text, or what is wrong with it for a message, such as "has no unit".
std::wstring parseDuration(const std::wstring& written, Duration& duration);

// The duration in the largest unit that writes it whole: 200ms, 5s, 90s, 2m, 1h.
std::wstring formatDuration(std::chrono::milliseconds length);
