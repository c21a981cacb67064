#pragma once

#include <windows.h>

#include <string>

// Folder helpers below the logger: they log nothing, their callers report.

bool isExistingDirectory(const std::wstring& path);
// Creates the missing folders above a file, outermost first. ERROR_SUCCESS,
// or the error of the first folder that could not be created.
DWORD createParentDirectories(const std::wstring& filePath);
