#include "settings/Paths.h"

#include <windows.h>
#include <wctype.h>

#include <vector>

#include "common/UniqueResource.h"
#include "logging/Logger.h"

namespace {

const Logger logger(L"File");
const DWORD PATH_CAPACITY = 65535;
// Larger files are refused rather than risking the process's memory.

bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// "C:" or "\\server\share" of a path, or nothing.
std::wstring rootOf(const std::wstring& path)
{
    if (path.size() >= 2 && path[1] == L':') {
        return path.substr(0, 2);
    }
    if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) {
        size_t end = path.find_first_of(L"\\/", 2);
        if (end != std::wstring::npos) {
            end = path.find_first_of(L"\\/", end + 1);
        }
        return path.substr(0, end);
    }
    return std::wstring();
}

}  // namespace

std::wstring withLineFeeds(const std::wstring& text)
{
    std::wstring lines;
    lines.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') {
            continue;
        }
        lines.push_back(text[i]);
    }
    return lines;
}

std::wstring decodeText(const std::string& bytes)
{
    std::wstring text;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        text.resize((bytes.size() - 2) / 2);
        for (size_t i = 0; i < text.size(); ++i) {
            text[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 + 2 * i]) |
                                           (static_cast<unsigned char>(bytes[3 + 2 * i]) << 8));
        }
    } else {
        const size_t skip = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
        const int length = static_cast<int>(bytes.size() - skip);
        const int size = MultiByteToWideChar(CP_UTF8, 0, bytes.data() + skip, length, nullptr, 0);
        text.resize(static_cast<size_t>(size > 0 ? size : 0));
        if (size > 0) {
            MultiByteToWideChar(CP_UTF8, 0, bytes.data() + skip, length, &text[0], size);
        }
    }
    return withLineFeeds(text);
}

int getFullPath(const std::wstring& path, std::wstring& out)
{
    std::vector<wchar_t> buffer(PATH_CAPACITY, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), PATH_CAPACITY, buffer.data(), nullptr);
    if (length == 0 || length >= PATH_CAPACITY) {
        return 1;
    }
    out.assign(buffer.data(), length);
    return 0;
}

int resolveBasePath(const std::wstring& filePath, std::wstring& out)
{
    std::vector<wchar_t> buffer(PATH_CAPACITY, L'\0');
    wchar_t* filePart = nullptr;
    const DWORD length = GetFullPathNameW(filePath.c_str(), PATH_CAPACITY, buffer.data(), &filePart);
    if (length < 1 || length > PATH_CAPACITY - 1) {
        logger.error(L"Failed to resolve path: %s", filePath);
        return 1;
    }
    if (filePart == nullptr) {
        logger.error(L"Given path to should point to file: %s", filePath);
        return 1;
    }
    std::wstring directory(buffer.data(), static_cast<size_t>(filePart - buffer.data()));
    if (!directory.empty() && isSeparator(directory.back())) {
        directory.pop_back();
    }
    logger.debug(L"Resolved base path: %s", directory);
    out = directory;
    return 0;
}

bool hasDriveLetter(const std::wstring& path)
{
    return path.size() >= 3 && iswalpha(path[0]) && path[1] == L':';
}

bool isLocalExtendedPath(const std::wstring& path)
{
    return path.compare(0, 4, L"\\\\?\\") == 0 && hasDriveLetter(path.substr(4));
}

bool isNetworkPath(const std::wstring& path) { return path.compare(0, 2, L"\\\\") == 0 && !isLocalExtendedPath(path); }

int combinePath(const std::wstring& directory, const std::wstring& path, std::wstring& out)
{
    std::wstring combined;
    if (path.empty()) {
        combined = directory;
    } else if (!rootOf(path).empty()) {
        combined = path;
    } else if (isSeparator(path[0])) {
        combined = rootOf(directory) + path;
    } else if (directory.empty() || isSeparator(directory.back())) {
        combined = directory + path;
    } else {
        combined = directory + L"\\" + path;
    }
    if (combined.size() >= PATH_CAPACITY) {
        return 1;
    }
    out = combined;
    return 0;
}

int resolvePath(const std::wstring& baseFile, const std::wstring& path, bool mustExist, std::wstring& out)
{
    std::wstring candidate = path;
    if (!hasDriveLetter(path)) {
        std::wstring baseDirectory;
        if (resolveBasePath(baseFile, baseDirectory) != 0) {
            return 1;
        }
        logger.debug(L"Resolving base file: %s", baseDirectory);
        if (combinePath(baseDirectory, path, candidate) != 0) {
            return 1;
        }
    }
    logger.debug(L"Combined path: %s", candidate);
    std::wstring fullPath;
    if (getFullPath(candidate, fullPath) != 0) {
        return 1;
    }
    if (mustExist && !isExistingFile(fullPath)) {
        logger.info(L"File does not exist: %s", fullPath);
        return 1;
    }
    out = fullPath;
    return 0;
}

int getModulePath(std::wstring& out)
{
    std::vector<wchar_t> buffer(PATH_CAPACITY, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), PATH_CAPACITY);
    if (length == 0 || length >= PATH_CAPACITY) {
        logger.error(L"Failed to get executing module name");
        return 1;
    }
    out.assign(buffer.data(), length);
    return 0;
}

int readFileBytes(const std::wstring& path, std::string& out)
{
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER size = {};
    if (!file || !GetFileSizeEx(file.get(), &size)) {
        return 1;
    }
    if (size.QuadPart > MAX_TEXT_FILE_SIZE) {
        SetLastError(ERROR_FILE_TOO_LARGE);
        return 1;
    }
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    size_t filled = 0;
    while (filled < bytes.size()) {
        DWORD read = 0;
        if (!ReadFile(file.get(), &bytes[filled], static_cast<DWORD>(bytes.size() - filled), &read, nullptr)) {
            return 1;
        }
        if (read == 0) {
            break;
        }
        filled += read;
    }
    bytes.resize(filled);
    out.swap(bytes);
    return 0;
}

int readTextFile(const std::wstring& path, std::wstring& out)
{
    std::string bytes;
    if (readFileBytes(path, bytes) != 0) {
        return 1;
    }
    out = decodeText(bytes);
    return 0;
}

bool isExistingFile(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::wstring programStateFileBeside(const std::wstring& logFile)
{
    return logFile.empty() ? std::wstring() : logFile + L".state.json";
}
