#pragma once

#include <string>

class Argz;
class SimpleUserSettings;

// Reads the account arguments /user=, /domain= and /password=.
class UserSettingsParser {
public:
    static int parseUserSettings(const Argz& arguments, SimpleUserSettings& settings);
    static std::wstring userUsage();
};
