#include "logging/LogFileOperations.h"

LogFileOperations& LogFileOperations::system()
{
    static LogFileOperations instance;
    return instance;
}

BOOL LogFileOperations::flush(HANDLE file, const std::wstring&) { return FlushFileBuffers(file); }

BOOL LogFileOperations::truncate(HANDLE file, const std::wstring&)
{
    return SetFilePointerEx(file, LARGE_INTEGER{}, nullptr, FILE_BEGIN) && SetEndOfFile(file);
}

BOOL LogFileOperations::move(const std::wstring& from, const std::wstring& to)
{
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING);
}

BOOL LogFileOperations::remove(const std::wstring& name) { return DeleteFileW(name.c_str()); }
