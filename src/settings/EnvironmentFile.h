#pragma once

#include <string>
#include <vector>

#include "settings/SettingsInterfaces.h"

// What makes an environment file unusable: the line it is on (from 1) and why.
struct EnvironmentFileFault {
    int line = 0;
    std::wstring reason;
};

// The variables of an environment file, in file order, from its bytes: UTF-8,
// with or without a byte-order mark. Each line is NAME=value; blank lines and
// lines that start with "#" are skipped. Blanks around the name and the value
// are dropped. A value in double or single quotes loses them; inside double
// quotes \n, \" and \\ stand for a line feed, a quote and a backslash, and any
// other backslash stays as written; a comment may follow the closing quote.
// False at the first line that is refused.
bool parseEnvironmentFile(const std::string& bytes, std::vector<EnvironmentVariable>& variables,
                          EnvironmentFileFault& fault);

// Reads and parses the file. False after logging why, with the file and the
// line; never with a value, since such files hold secrets.
bool loadEnvironmentFile(const std::wstring& file, std::vector<EnvironmentVariable>& variables);
