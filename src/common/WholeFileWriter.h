#pragma once

#include <windows.h>

#include <string>

// Replaces a small file whole: the bytes go to "<file>.tmp" in the same
// folder, which is flushed to the disk and closed before it is renamed over
// the old file. A reader finds the old content or the new, never a part, and
// after a power loss the name never stands for a file whose data did not
// reach the disk. The folder is created when missing, and no temporary file
// is left behind. Logs nothing: its callers report.
class WholeFileWriter {
public:
    explicit WholeFileWriter(std::wstring path) : path_(std::move(path)) {}
    virtual ~WholeFileWriter() = default;

    const std::wstring& path() const { return path_; }
    // ERROR_SUCCESS, or the error of the step that failed; the old file then
    // stays as it was.
    DWORD write(const std::string& bytes);

protected:
    // The steps whose order matters; tests replace them.
    virtual BOOL flush(HANDLE file);
    virtual BOOL rename(const std::wstring& from, const std::wstring& to);

private:
    DWORD writeTemporary(const std::wstring& temporary, const std::string& bytes);
    DWORD replaceWith(const std::wstring& temporary);

    std::wstring path_;
};
