#include "settings/FinalPath.h"

#include <windows.h>

#include <vector>

#include "common/UniqueResource.h"
#include "settings/Paths.h"

namespace {

// Empty when `path` cannot be opened; folders need backup semantics to open.
// Windows resolves links here (Wine keeps the link's name, so no test shows it).
std::wstring finalPathOfExisting(const std::wstring& path)
{
    UniqueHandle handle(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle) {
        return std::wstring();
    }
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetFinalPathNameByHandleW(handle.get(), buffer.data(), static_cast<DWORD>(buffer.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) {
            return std::wstring();
        }
        if (length < buffer.size()) {
            return std::wstring(buffer.data(), length);
        }
        buffer.resize(length);
    }
}

}  // namespace

std::wstring finalPath(const std::wstring& path)
{
    std::wstring full;
    if (getFullPath(path, full) != 0) {
        full = path;
    }
    // The deepest part that exists is resolved, what follows it appended.
    for (size_t end = full.size(); end != std::wstring::npos && end > 0; end = full.find_last_of(L"\\/", end - 1)) {
        const std::wstring resolved = finalPathOfExisting(full.substr(0, end));
        if (!resolved.empty()) {
            return resolved + full.substr(end);
        }
        if (end == 0) {
            break;
        }
    }
    return full;
}

bool isSameFile(const std::wstring& one, const std::wstring& other)
{
    const std::wstring a = finalPath(one);
    const std::wstring b = finalPath(other);
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}
