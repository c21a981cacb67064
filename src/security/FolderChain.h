#pragma once

#include <string>
#include <vector>

// How much of a path's write access matters.
enum class WriteReach {
    WHOLE_FILE,    // any change of the file
    OWN_FOLDER,    // the folder of a file: adding files to it is enough to plant a DLL
    FOLDER_ABOVE,  // a folder further up: only putting another folder in the place of one
};

// A file or folder to check; `via` names the link or mapped drive through
// which the path it stands for leads here ("C:\Tools -> D:\Open\Tools"),
// empty for the path as written.
struct CheckedPath {
    std::wstring path;
    WriteReach reach;
    std::wstring via;
};

// The files and folders whose write access decides what a service runs: each
// one added and every folder above it up to the volume root, as the path is
// written; and where a link (junction, symbolic link, mount point) or a drive
// letter mapped elsewhere (subst) leads somewhere else, the same again for the
// final path, which is what Windows really opens.
class FolderChain {
public:
    // A file the service reads or runs; a missing one only has its folders.
    void addFile(const std::wstring& file);
    // A folder a program runs in: what it holds is run and loaded.
    void addFolder(const std::wstring& folder);
    const std::vector<CheckedPath>& paths() const { return paths_; }

private:
    void addWithFinalPath(const std::wstring& path, WriteReach reach);
    void addChain(const std::wstring& path, WriteReach reach, const std::wstring& via);
    void add(const std::wstring& path, WriteReach reach, const std::wstring& via);

    std::vector<CheckedPath> paths_;
};

// The length of the volume root at the start of a full path ("C:\",
// "\\server\share\", with or without "\\?\"); 0 for a path without one.
size_t rootLength(const std::wstring& path);
// The folder a full path lies in; false for a volume root.
bool parentFolder(const std::wstring& path, std::wstring& parent);
// The path as Windows finally opens it, every link and mapped drive followed,
// without "\\?\"; for a path that does not exist, that of the deepest folder
// that does with the rest as written. The path itself when it cannot be told.
std::wstring finalPathOf(const std::wstring& path);
// The first folder of the path, from the root down, that is a link; the root
// when none is (a drive letter mapped elsewhere).
std::wstring firstLinkOf(const std::wstring& path);
