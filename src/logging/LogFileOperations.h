#pragma once

#include <windows.h>

#include <string>

// The calls by which a log's content reaches the disk and changes its name,
// in one place where a test can see their order.
class LogFileOperations {
public:
    // The calls of the system.
    static LogFileOperations& system();

    virtual ~LogFileOperations() = default;

    // FlushFileBuffers: what was written to `file` is on the disk.
    virtual BOOL flush(HANDLE file, const std::wstring& name);
    // Cuts the open `file` to nothing.
    virtual BOOL truncate(HANDLE file, const std::wstring& name);
    // MoveFileExW that replaces an existing target.
    virtual BOOL move(const std::wstring& from, const std::wstring& to);
    virtual BOOL remove(const std::wstring& name);
};
