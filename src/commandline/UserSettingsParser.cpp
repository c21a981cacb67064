#include "commandline/UserSettingsParser.h"

std::wstring UserSettingsParser::userUsage() { return L"/user=<user> [/domain=<domain>] /password=<password>"; }
