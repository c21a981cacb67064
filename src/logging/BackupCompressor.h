#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "common/UniqueResource.h"

// Compresses a finished log backup into name.gz on a thread of its own, one
// backup at a time, so that writing records never waits for it. The result
// goes through name.gz.tmp, and the plain backup is deleted only once its
// compressed copy is complete.
class BackupCompressor {
public:
    BackupCompressor() = default;
    ~BackupCompressor() { wait(); }
    BackupCompressor(const BackupCompressor&) = delete;
    BackupCompressor& operator=(const BackupCompressor&) = delete;

    // True while a backup is being compressed: the backups must not move then.
    bool isBusy() const { return busy_; }
    // Starts on `file`; compresses it at once, on this thread, when no thread can be started.
    void start(const std::wstring& file);
    // Why the last backup stays plain, once, after it was tried; empty otherwise.
    std::wstring takeFailure();
    void wait();

private:
    static DWORD WINAPI threadMain(LPVOID parameter);
    void run();

    std::wstring file_;
    std::wstring failure_;
    UniqueHandle thread_;
    std::atomic<bool> busy_{false};
};

// Writes `source` gzip-compressed (RFC 1952) into `target`; ERROR_SUCCESS or
// the Windows error of the read or write that failed.
DWORD compressFile(const std::wstring& source, const std::wstring& target);
