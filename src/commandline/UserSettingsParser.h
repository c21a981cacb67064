#pragma once

#include <string>

class Argz;
class SimpleUserSettings;

// Reads the account arguments /user=, /domain= and /password=.
class UserSettingsParser {
public:
    // With `forService`, the accounts without a password need none: Windows
    // manages it, or there is none.
    static int parseUserSettings(const Argz& arguments, SimpleUserSettings& settings, bool forService = false);
    static std::wstring userUsage();
};
