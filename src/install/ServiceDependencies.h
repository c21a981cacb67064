#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The services a service depends on, in the forms the service control manager
// and people read them.

// The list that CreateServiceW and ChangeServiceConfigW take: each name ends
// in a NUL and the list in one more, also when it is empty.
std::wstring dependencyList(const std::vector<std::wstring>& names);
// The names in such a list; none for null.
std::vector<std::wstring> dependencyNames(const wchar_t* list);
// "Tcpip, Afd", or "(none)".
std::wstring dependencyText(const std::vector<std::wstring>& names);
// What the service's registry key names, groups with the "+" that marks them
// in a dependency list. Wine's QueryServiceConfigW reports none.
std::vector<std::wstring> registeredDependencies(HKEY serviceKey);
