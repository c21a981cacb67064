#include "security/FolderChain.h"

#include <windows.h>

#include <vector>

#include "common/UniqueResource.h"

namespace {

const DWORD FINAL_PATH_CAPACITY = 32768;

bool samePath(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// "\\?\C:\x" as "C:\x", "\\?\UNC\server\share" as "\\server\share".
std::wstring withoutExtendedPrefix(const std::wstring& path)
{
    if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
        return L"\\\\" + path.substr(8);
    }
    return path.compare(0, 4, L"\\\\?\\") == 0 ? path.substr(4) : path;
}

// False when the path cannot be opened; GetLastError says why.
bool openedFinalPath(const std::wstring& path, std::wstring& finalPath)
{
    // Opened for no data access: following every link, as a program's start would.
    const UniqueHandle file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) {
        return false;
    }
    std::vector<wchar_t> buffer(FINAL_PATH_CAPACITY, L'\0');
    const DWORD length = GetFinalPathNameByHandleW(file.get(), buffer.data(), FINAL_PATH_CAPACITY,
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    // A volume without a drive letter has no such name: its path is then taken as written.
    if (length == 0 || length >= FINAL_PATH_CAPACITY) {
        finalPath = path;
        return true;
    }
    finalPath = withoutExtendedPrefix(std::wstring(buffer.data(), length));
    return true;
}

}  // namespace

size_t rootLength(const std::wstring& path)
{
    const bool extended = path.compare(0, 4, L"\\\\?\\") == 0;
    const bool unc = path.compare(0, 8, L"\\\\?\\UNC\\") == 0 || (!extended && path.compare(0, 2, L"\\\\") == 0);
    if (unc) {
        const size_t start = extended ? 8 : 2;
        const size_t server = path.find(L'\\', start);
        if (server == std::wstring::npos) {
            return 0;
        }
        const size_t share = path.find(L'\\', server + 1);
        return share == std::wstring::npos ? path.size() : share + 1;
    }
    const size_t start = extended ? 4 : 0;
    const bool drive = path.size() >= start + 3 && path[start + 1] == L':' && path[start + 2] == L'\\';
    return drive ? start + 3 : 0;
}

bool parentFolder(const std::wstring& path, std::wstring& parent)
{
    const size_t root = rootLength(path);
    const size_t end = path.find_last_not_of(L'\\');
    if (root == 0 || end == std::wstring::npos || end + 1 <= root) {
        return false;
    }
    const size_t separator = path.find_last_of(L'\\', end);
    parent = separator < root ? path.substr(0, root) : path.substr(0, separator);
    return true;
}

std::wstring finalPathOf(const std::wstring& path)
{
    // The names below the deepest folder that exists, innermost first.
    std::vector<std::wstring> missing;
    std::wstring existing = path;
    std::wstring finalPath;
    while (!openedFinalPath(existing, finalPath)) {
        const DWORD error = GetLastError();
        std::wstring parent;
        if ((error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) || !parentFolder(existing, parent)) {
            return path;
        }
        const size_t nameEnd = existing.find_last_not_of(L'\\') + 1;
        const size_t nameStart = existing.find_last_of(L'\\', nameEnd - 1) + 1;
        missing.push_back(existing.substr(nameStart, nameEnd - nameStart));
        existing = parent;
    }
    for (auto name = missing.rbegin(); name != missing.rend(); ++name) {
        finalPath += (finalPath.empty() || finalPath.back() != L'\\' ? L"\\" : L"") + *name;
    }
    return finalPath;
}

std::wstring firstLinkOf(const std::wstring& path)
{
    std::vector<std::wstring> folders;
    std::wstring folder = path;
    for (std::wstring parent; parentFolder(folder, parent); folder = parent) {
        folders.push_back(parent);
    }
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
        const DWORD attributes = GetFileAttributesW(it->c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            return *it;
        }
    }
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return path;
    }
    return folders.empty() ? path : folders.back();
}

void FolderChain::addFile(const std::wstring& file) { addWithFinalPath(file, WriteReach::WHOLE_FILE); }

void FolderChain::addFolder(const std::wstring& folder) { addWithFinalPath(folder, WriteReach::OWN_FOLDER); }

void FolderChain::addWithFinalPath(const std::wstring& path, WriteReach reach)
{
    if (path.empty()) {
        return;
    }
    addChain(path, reach, L"");
    const std::wstring finalPath = finalPathOf(path);
    if (!samePath(finalPath, path)) {
        const std::wstring link = firstLinkOf(path);
        const std::wstring target = finalPathOf(link);
        // Neither a link nor a mapped drive: another name of the same path, such as a short one.
        addChain(finalPath, reach, samePath(link, target) ? path + L" -> " + finalPath : link + L" -> " + target);
    }
}

void FolderChain::addChain(const std::wstring& path, WriteReach reach, const std::wstring& via)
{
    add(path, reach, via);
    std::wstring folder;
    WriteReach above = reach == WriteReach::WHOLE_FILE ? WriteReach::OWN_FOLDER : WriteReach::FOLDER_ABOVE;
    for (std::wstring current = path; parentFolder(current, folder); current = folder) {
        add(folder, above, via);
        above = WriteReach::FOLDER_ABOVE;
    }
}

void FolderChain::add(const std::wstring& path, WriteReach reach, const std::wstring& via)
{
    for (CheckedPath& checked : paths_) {
        if (samePath(checked.path, path)) {
            if (checked.reach == WriteReach::FOLDER_ABOVE) {
                checked.reach = reach;
            }
            return;
        }
    }
    paths_.push_back({path, reach, via});
}
