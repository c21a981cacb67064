#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "common/UniqueResource.h"

class LogBackups;
class LogFileOperations;

// Puts a fresh copy of a log file in place as its newest backup, and
// compresses it when asked, on a thread of its own, one roll-over at a time:
// moving many backups and compressing take time that the records, and a stop
// request answered on the thread that writes them, must not wait for.
class RollOverWorker {
public:
    struct Outcome {
        // ERROR_SUCCESS when the copy is in place; else the file it concerns.
        DWORD error = ERROR_SUCCESS;
        std::wstring failedFile;
        // Why the new backup stays plain; empty when it did not.
        std::wstring compressionFailure;
    };

    RollOverWorker() = default;
    ~RollOverWorker() { wait(); }
    RollOverWorker(const RollOverWorker&) = delete;
    RollOverWorker& operator=(const RollOverWorker&) = delete;

    // Neither moving backups nor holding an outcome not yet taken.
    bool isIdle() const { return !busy_ && outcomeTaken_; }
    // Puts `copy` in place as `name` among `backups`, then compresses it if
    // `compress`; on this thread when no thread can be started.
    void start(LogBackups& backups, LogFileOperations& files, const std::wstring& copy, const std::wstring& name,
               bool compress);
    // The outcome of the last roll-over once it is over, once; false before.
    bool takeOutcome(Outcome& outcome);
    void wait();

private:
    static DWORD WINAPI threadMain(LPVOID parameter);
    void run();

    LogBackups* backups_ = nullptr;
    LogFileOperations* files_ = nullptr;
    std::wstring copy_;
    std::wstring name_;
    bool compress_ = false;
    Outcome outcome_;
    bool outcomeTaken_ = true;
    UniqueHandle thread_;
    std::atomic<bool> busy_{false};
};
