#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "logging/LogBackups.h"
#include "logging/RollOverWorker.h"
#include "logging/RollPolicy.h"

class LogFileOperations;

// How a log file rolls over. On the thread that writes it, the live file is
// copied to the next backup's name plus .tmp, the copy made durable and the
// live file cut, a cost that depends on the file's size only; the backups then
// move on a worker thread, however many there are. A roll-over that fails is
// tried again after another 1 MiB or 30 s, and the copy waits for it.
class LogRollOver {
public:
    // What the writer is to tell the log about a roll-over.
    struct Message {
        int level;
        std::wstring text;
    };

    explicit LogRollOver(LogFileOperations& files) : files_(files) {}

    bool isDue(long long size, long long maxSize) const { return size >= maxSize || !pendingCopy_.empty(); }
    // Not while the backups move, nor before the retry of one that failed.
    bool isAllowed(long long size, unsigned long long now) const;
    // Rolls over the open `live` file named `liveName`, whose records are of
    // `day`; true when it was cut, its content now on its way to a backup.
    bool start(HANDLE live, const std::wstring& liveName, const RollPolicy& policy, const std::wstring& day,
               long long size, unsigned long long now, std::vector<Message>& messages);
    // The outcome of the roll-over that finished since the last call.
    void takeOutcome(const std::wstring& liveName, std::vector<Message>& messages);
    // At the file's close: a copy that is not in place yet is found again by
    // the next roll-over.
    void forget();
    void wait() { worker_.wait(); }

private:
    DWORD copyAndCut(HANDLE live, const std::wstring& liveName, const std::wstring& copy, std::wstring& failed);
    DWORD copyLiveFile(HANDLE live, const std::wstring& copy);
    void failed(const std::wstring& liveName, const std::wstring& file, DWORD error, long long size,
                unsigned long long now, std::vector<Message>& messages);

    LogFileOperations& files_;
    // Known from the first roll-over on.
    std::unique_ptr<LogBackups> backups_;
    // The copy of the live file that waits to be put in place as `pendingName_`.
    std::wstring pendingCopy_;
    std::wstring pendingName_;
    // When the backups began to move, and the live file's size then.
    unsigned long long startedAt_ = 0;
    long long startedSize_ = 0;
    bool failing_ = false;
    long long retrySize_ = 0;
    unsigned long long failedAt_ = 0;
    // Last, so that it is destroyed first: its thread ends before the backups it moves.
    RollOverWorker worker_;
};
