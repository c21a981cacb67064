#pragma once

#include <windows.h>

#include <string>

class LogFileOperations;

// Compresses a finished log backup into name.gz. The result goes through
// name.gz.tmp, which reaches the disk before it is renamed, and the plain
// backup is deleted only once its compressed copy is in place.
class BackupCompressor {
public:
    explicit BackupCompressor(LogFileOperations& files) : files_(files) {}

    // True when name.gz took the place of `backup`; otherwise the plain
    // backup stays and `failure` says why.
    bool compress(const std::wstring& backup, std::wstring& failure);

private:
    DWORD compressInto(const std::wstring& source, const std::wstring& target);

    LogFileOperations& files_;
};
