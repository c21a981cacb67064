#pragma once

#include <windows.h>

#include <string>

// The system's message for a Windows error code, trimmed, followed by " (code)";
// the code alone when the system has no text for it.
std::wstring errorText(DWORD code);
std::wstring lastErrorText();
// The same from the message table of `module` (a loaded DLL), then the system's.
std::wstring moduleErrorText(HMODULE module, DWORD code);
