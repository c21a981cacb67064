#pragma once

#include <string>

// The log line chosen for a failed system call: its level and its text.
struct FailureMessage {
    int level;
    std::wstring text;
};
