#pragma once

#include <string>

// The path the file system resolves `path` to: links and short names followed,
// letter case as stored, for the part of it that exists; the rest as written.
std::wstring finalPath(const std::wstring& path);

// True when both paths name one file, however they are written.
bool isSameFile(const std::wstring& one, const std::wstring& other);
