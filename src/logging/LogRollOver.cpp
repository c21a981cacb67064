#include "logging/LogRollOver.h"

#include "common/Format.h"
#include "common/UniqueResource.h"
#include "common/WriteAll.h"
#include "logging/ErrorText.h"
#include "logging/LogFileOperations.h"
#include "logging/LogLevel.h"

namespace {

const unsigned long long RETRY_MILLISECONDS = 30000;
const long long RETRY_BYTES = 1048576;

}  // namespace

// Copying the whole file again with every record would slow the program down,
// so a roll-over that failed waits for more content or for time to pass. While
// the backups move the file grows a little longer rather than the records waiting.
bool LogRollOver::isAllowed(long long size, unsigned long long now) const
{
    if (!worker_.isIdle()) {
        return false;
    }
    return !failing_ || size >= retrySize_ || now - failedAt_ >= RETRY_MILLISECONDS;
}

bool LogRollOver::start(HANDLE live, const std::wstring& liveName, const RollPolicy& policy, const std::wstring& day,
                        long long size, unsigned long long now, std::vector<Message>& messages)
{
    if (!backups_ || !backups_->follows(policy)) {
        backups_.reset(new LogBackups(liveName, policy, files_));
        const std::wstring& leftover = backups_->leftoverCopy();
        if (pendingCopy_.empty() && !leftover.empty()) {
            pendingCopy_ = leftover;
            pendingName_ = leftover.substr(0, leftover.size() - 4);
        }
    }
    bool cut = false;
    if (pendingCopy_.empty()) {
        const std::wstring name = backups_->nextName(day);
        std::wstring failedFile;
        const DWORD error = copyAndCut(live, liveName, name + L".tmp", failedFile);
        if (error != ERROR_SUCCESS) {
            failed(liveName, failedFile, error, size, now, messages);
            return false;
        }
        pendingCopy_ = name + L".tmp";
        pendingName_ = name;
        cut = true;
    }
    startedAt_ = now;
    startedSize_ = cut ? 0 : size;
    worker_.start(*backups_, files_, pendingCopy_, pendingName_, policy.compress);
    return cut;
}

void LogRollOver::takeOutcome(const std::wstring& liveName, std::vector<Message>& messages)
{
    RollOverWorker::Outcome outcome;
    if (!worker_.takeOutcome(outcome)) {
        return;
    }
    if (outcome.error != ERROR_SUCCESS) {
        failed(liveName, outcome.failedFile, outcome.error, startedSize_, startedAt_, messages);
    } else {
        pendingCopy_.clear();
        pendingName_.clear();
        if (failing_) {
            failing_ = false;
            messages.push_back({LEVEL_INFO, format(L"Log file %s rolls over again", liveName)});
        }
    }
    if (!outcome.compressionFailure.empty()) {
        messages.push_back({LEVEL_WARN, outcome.compressionFailure});
    }
}

void LogRollOver::forget()
{
    worker_.wait();
    RollOverWorker::Outcome dropped;
    worker_.takeOutcome(dropped);
    backups_.reset();
    pendingCopy_.clear();
    pendingName_.clear();
    failing_ = false;
}

// The live file is cut only once its content is on the disk in the copy.
DWORD LogRollOver::copyAndCut(HANDLE live, const std::wstring& liveName, const std::wstring& copy,
                              std::wstring& failedFile)
{
    DWORD error = copyLiveFile(live, copy);
    failedFile = copy;
    if (error == ERROR_SUCCESS && !files_.truncate(live, liveName)) {
        error = GetLastError();
        failedFile = liveName;
    }
    if (error != ERROR_SUCCESS) {
        files_.remove(copy);
    }
    return error;
}

DWORD LogRollOver::copyLiveFile(HANDLE live, const std::wstring& copy)
{
    // Others, such as a virus scanner, may read the copy as it is written.
    UniqueHandle backup(CreateFileW(copy.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!backup || !SetFilePointerEx(live, LARGE_INTEGER{}, nullptr, FILE_BEGIN)) {
        return GetLastError();
    }
    char buffer[65536];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(live, buffer, sizeof buffer, &read, nullptr)) {
            return GetLastError();
        }
        if (read == 0) {
            return files_.flush(backup.get(), copy) ? ERROR_SUCCESS : GetLastError();
        }
        if (!writeAll(backup.get(), buffer, read)) {
            return GetLastError();
        }
    }
}

void LogRollOver::failed(const std::wstring& liveName, const std::wstring& file, DWORD error, long long size,
                         unsigned long long now, std::vector<Message>& messages)
{
    retrySize_ = size + RETRY_BYTES;
    failedAt_ = now;
    if (!failing_) {
        failing_ = true;
        messages.push_back({LEVEL_WARN, format(L"Failed to roll over log file %s, it keeps growing: %s: %s", liveName,
                                               file, errorText(error))});
    }
}
