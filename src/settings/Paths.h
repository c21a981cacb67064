#pragma once

#include <string>

// File-system helpers: 0 for success, 1 for failure. On failure the output is
// left untouched. Paths of up to 65534 characters are handled.

int getFullPath(const std::wstring& path, std::wstring& out);
// The absolute directory of a file, without a trailing separator.
int resolveBasePath(const std::wstring& filePath, std::wstring& out);
// A path relative to the directory of `baseFile`, made absolute.
int resolvePath(const std::wstring& baseFile, const std::wstring& path, bool mustExist, std::wstring& out);
bool hasDriveLetter(const std::wstring& path);
// "\\?\C:\...": a local path in the form without the length limit.
bool isLocalExtendedPath(const std::wstring& path);
// A path of another computer: "\\server\share", "\\?\UNC\..."; not a local "\\?\C:\".
bool isNetworkPath(const std::wstring& path);
int getModulePath(std::wstring& out);
// The whole file as text: UTF-8, or UTF-16LE when it starts with that byte-order mark.
int readTextFile(const std::wstring& path, std::wstring& out);
// The most a text file read whole may hold.
constexpr long long MAX_TEXT_FILE_SIZE = 256LL * 1024 * 1024;
// The whole file as bytes, as readTextFile reads it; past MAX_TEXT_FILE_SIZE
// it fails with ERROR_FILE_TOO_LARGE.
int readFileBytes(const std::wstring& path, std::string& out);
// Bytes as readTextFile reads them: UTF-8, or UTF-16LE after that byte-order mark;
// CR LF line ends become LF, as in text mode.
std::wstring decodeText(const std::string& bytes);
std::wstring withLineFeeds(const std::wstring& text);

// Joins a directory and a path the way the shell does: a path with a drive or
// a network share stands for itself, one with a leading "\" starts at the
// directory's root. Not limited to MAX_PATH.
int combinePath(const std::wstring& directory, const std::wstring& path, std::wstring& out);
bool isExistingFile(const std::wstring& path);
// The program's state file, beside the service log; empty without one.
std::wstring programStateFileBeside(const std::wstring& logFile);
