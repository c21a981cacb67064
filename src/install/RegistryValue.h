#pragma once

#include <windows.h>

#include <string>

// A value of the key with its terminating NULs, of one of the types of
// RegGetValueW's `types`; empty when there is none.
std::wstring registryValue(HKEY key, const wchar_t* name, DWORD types);
