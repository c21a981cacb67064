#pragma once

#include <string>

class UserSettings;

// The account as "domain\user" for LookupAccountNameW and DACL entries; a
// bare user name would also find a namesake in another domain. The domain "."
// (or none) is this computer, written with its name, which the lookup accepts.
std::wstring qualifiedAccountName(const UserSettings& user);
