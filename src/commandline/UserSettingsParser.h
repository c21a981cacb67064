#pragma once

#include <string>

class Argz;
class SimpleUserSettings;

// Why the account of /user= (as `written`; `user` and `domain` its parts) is
// refused, or empty: no account named, or LocalSystem, which /runAsSystem installs.
std::wstring userRefusal(const std::wstring& written, const std::wstring& user, const std::wstring& domain,
                         bool forService);

// Reads the account arguments /user=, /domain= and /password=.
class UserSettingsParser {
public:
    // With `forService`, the accounts without a password need none: Windows
    // manages it, or there is none.
    static int parseUserSettings(const Argz& arguments, SimpleUserSettings& settings, bool forService = false);
    static std::wstring userUsage();
};
