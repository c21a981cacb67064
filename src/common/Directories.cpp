#include "common/Directories.h"

#include <vector>

namespace {

const DWORD PATH_CAPACITY = 65535;

// The absolute folder of a path without a trailing separator, or nothing.
std::wstring parentOf(const std::wstring& path)
{
    std::vector<wchar_t> buffer(PATH_CAPACITY, L'\0');
    wchar_t* filePart = nullptr;
    const DWORD length = GetFullPathNameW(path.c_str(), PATH_CAPACITY, buffer.data(), &filePart);
    if (length == 0 || length >= PATH_CAPACITY || filePart == nullptr) {
        return std::wstring();
    }
    std::wstring directory(buffer.data(), static_cast<size_t>(filePart - buffer.data()));
    if (!directory.empty() && (directory.back() == L'\\' || directory.back() == L'/')) {
        directory.pop_back();
    }
    return directory;
}

}  // namespace

bool isExistingDirectory(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

DWORD createParentDirectories(const std::wstring& filePath)
{
    // Walk up to the first folder that exists, then create the missing ones
    // from the outermost inwards. A loop, not recursion: a long path can have
    // thousands of levels.
    std::vector<std::wstring> missing;
    std::wstring current = filePath;
    for (;;) {
        const std::wstring directory = parentOf(current);
        if (directory.size() <= 2 || isExistingDirectory(directory)) {
            break;
        }
        missing.push_back(directory);
        current = directory;
    }
    for (auto directory = missing.rbegin(); directory != missing.rend(); ++directory) {
        if (!CreateDirectoryW(directory->c_str(), nullptr)) {
            const DWORD error = GetLastError();
            // Another process may have created it in the meantime.
            if (!isExistingDirectory(*directory)) {
                return error;
            }
        }
    }
    return ERROR_SUCCESS;
}
