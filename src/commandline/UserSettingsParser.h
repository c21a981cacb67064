#pragma once

#include <string>

// Reads the account arguments /user=, /domain= and /password=.
class UserSettingsParser {
public:
    static std::wstring userUsage();
};
