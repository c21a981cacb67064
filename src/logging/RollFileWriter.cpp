#include "logging/RollFileWriter.h"

#include <windows.h>

#include "common/Directories.h"
#include "common/Format.h"
#include "common/TextConversion.h"
#include "logging/ErrorText.h"
#include "logging/Logger.h"

namespace {

const Logger logger(L"RollFileWriter");

// While the file cannot be opened or cannot roll over, trying again often
// enough to recover soon but not so often that the program slows down.
const unsigned long long OPEN_RETRY_MILLISECONDS = 10000;
const unsigned long long ROLL_OVER_RETRY_MILLISECONDS = 30000;
const long long ROLL_OVER_RETRY_BYTES = 1048576;

std::wstring timestamp()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return format(L"[%04d-%02d-%02d %02d:%02d:%02d,%03d] ", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond, now.wMilliseconds);
}

// The file is a text file: every line ends in CR LF.
std::string recordBytes(const std::wstring& record)
{
    std::wstring text;
    text.reserve(record.size() + 8);
    for (size_t i = 0; i < record.size(); ++i) {
        if (record[i] == L'\n' && (i == 0 || record[i - 1] != L'\r')) {
            text.push_back(L'\r');
        }
        text.push_back(record[i]);
    }
    return toUtf8(text);
}

bool writeAll(HANDLE file, const char* data, size_t size)
{
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) || written == 0) {
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// Renaming or deleting needs delete access, which a handle of another process
// without delete sharing denies; a backup that does not exist is no obstacle.
DWORD replaceableError(const std::wstring& file)
{
    UniqueHandle handle(CreateFileW(file.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    const DWORD error = handle ? ERROR_SUCCESS : GetLastError();
    return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
}

std::wstring record(const std::wstring& prefix, const std::wstring& message)
{
    return timestamp() + prefix + message + L"\n";
}

std::wstring lostRecordsText(int count, DWORD reason)
{
    return format(count == 1 ? L"%d log record was lost: %s" : L"%d log records were lost: %s", count,
                  errorText(reason));
}

}  // namespace

void RollFileWriter::open(const std::wstring& newFileName)
{
    if (newFileName == wantedFileName_) {
        return;
    }
    wantedFileName_ = newFileName;
    if (newFileName == fileName_) {
        return;
    }
    openError_ = openWantedFile();
    if (openError_ != ERROR_SUCCESS) {
        logger.error(L"Failed to open log file %s: %s", newFileName, errorText(openError_));
    }
}

DWORD RollFileWriter::openWantedFile()
{
    openTriedAt_ = tickCount();
    const std::wstring name = wantedFileName_;
    const DWORD folderError = createParentDirectories(name);
    // Others may read the log while it is written, but not write to it.
    UniqueHandle file(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        // A folder that could not be created says more than "path not found".
        return folderError != ERROR_SUCCESS ? folderError : GetLastError();
    }
    close();
    file_ = std::move(file);
    fileName_ = name;
    wantedFileName_ = name;
    seekToEnd();
    logger.info(L"Logging will be redirected to: %s", name);
    return ERROR_SUCCESS;
}

// Failures of these retries are not logged again: the first one was.
void RollFileWriter::retryOpenIfDue()
{
    if (wantedFileName_ != fileName_ && tickCount() - openTriedAt_ >= OPEN_RETRY_MILLISECONDS) {
        openError_ = openWantedFile();
    }
}

void RollFileWriter::write(const std::wstring& prefix, const std::wstring& message)
{
    retryOpenIfDue();
    if (!file_) {
        if (!wantedFileName_.empty()) {
            countLostRecord(openError_);
        }
        return;
    }
    if (writeRecord(prefix, message) && rollOverDue()) {
        rollOver();
    }
}

void RollFileWriter::close()
{
    file_.reset();
    fileName_.clear();
    wantedFileName_.clear();
    size_ = 0;
    rollOverFailing_ = false;
}

unsigned long long RollFileWriter::tickCount() const { return GetTickCount64(); }

// Writes whole records or nothing: what part of them reached the file is cut
// off again, so that no torn record is glued to the next one.
DWORD RollFileWriter::appendRecords(const std::wstring& records)
{
    const std::string bytes = recordBytes(records);
    if (writeAll(file_.get(), bytes.data(), bytes.size())) {
        size_ += static_cast<long long>(bytes.size());
        return ERROR_SUCCESS;
    }
    const DWORD error = GetLastError();
    LARGE_INTEGER recordStart = {};
    recordStart.QuadPart = size_;
    if (SetFilePointerEx(file_.get(), recordStart, nullptr, FILE_BEGIN)) {
        SetEndOfFile(file_.get());
    }
    return error;
}

// After an outage the count of lost records goes with the first record that
// can be written, together or not at all: a nearly full disk may still take a
// short warning but not the record after it.
bool RollFileWriter::writeRecord(const std::wstring& prefix, const std::wstring& message)
{
    const std::wstring lost = lostRecords_ > 0 ? lostRecordsText(lostRecords_, lostReason_) : std::wstring();
    std::wstring records = record(prefix, message);
    if (!lost.empty()) {
        records = record(logger.prefix(LEVEL_WARN), lost) + records;
    }
    const DWORD error = appendRecords(records);
    if (error != ERROR_SUCCESS) {
        if (lostRecords_ == 0) {
            logger.warn(L"Failed to write to log file %s: %s", fileName_, errorText(error));
        }
        countLostRecord(error);
        return false;
    }
    if (!lost.empty()) {
        lostRecords_ = 0;
        logger.warn(lost);
    }
    return true;
}

void RollFileWriter::countLostRecord(DWORD reason)
{
    if (lostRecords_ == 0) {
        lostReason_ = reason;
    }
    ++lostRecords_;
}

// The file appender skips what is logged while it writes, so messages about
// the file itself are put into it here and the logger takes them elsewhere.
void RollFileWriter::report(int level, const std::wstring& message)
{
    writeRecord(logger.prefix(level), message);
    logger.log(level, message);
}

void RollFileWriter::seekToEnd()
{
    LARGE_INTEGER end = {};
    if (SetFilePointerEx(file_.get(), LARGE_INTEGER{}, &end, FILE_END)) {
        size_ = end.QuadPart;
    }
}

// Copying the whole file again with every record would slow the program down,
// so a roll-over that failed waits for more content or for time to pass.
bool RollFileWriter::rollOverDue() const
{
    if (size_ < maxSize_) {
        return false;
    }
    return !rollOverFailing_ || size_ >= rollOverRetrySize_ ||
           tickCount() - rollOverFailedAt_ >= ROLL_OVER_RETRY_MILLISECONDS;
}

void RollFileWriter::rollOver()
{
    // Everything that can fail is done before the first backup moves, so a
    // failed roll-over leaves the backups as they were and the live file whole.
    for (int n = 1; n <= backupCount_; ++n) {
        const DWORD error = replaceableError(backupName(n));
        if (error != ERROR_SUCCESS) {
            rollOverFailed(backupName(n), error);
            return;
        }
    }
    const std::wstring copy = backupName(1) + L".tmp";
    const DWORD copyError = copyLiveFileTo(copy);
    seekToEnd();
    if (copyError != ERROR_SUCCESS) {
        DeleteFileW(copy.c_str());
        rollOverFailed(copy, copyError);
        return;
    }
    for (int n = backupCount_; n >= 2; --n) {
        DeleteFileW(backupName(n).c_str());
        MoveFileW(backupName(n - 1).c_str(), backupName(n).c_str());
    }
    DeleteFileW(backupName(1).c_str());
    if (!MoveFileW(copy.c_str(), backupName(1).c_str())) {
        const DWORD error = GetLastError();
        DeleteFileW(copy.c_str());
        rollOverFailed(backupName(1), error);
        return;
    }
    if (SetFilePointerEx(file_.get(), LARGE_INTEGER{}, nullptr, FILE_BEGIN) && SetEndOfFile(file_.get())) {
        size_ = 0;
    } else {
        seekToEnd();
    }
    if (rollOverFailing_) {
        rollOverFailing_ = false;
        report(LEVEL_INFO, format(L"Log file %s rolls over again", fileName_));
    }
}

void RollFileWriter::rollOverFailed(const std::wstring& file, DWORD error)
{
    rollOverRetrySize_ = size_ + ROLL_OVER_RETRY_BYTES;
    rollOverFailedAt_ = tickCount();
    if (!rollOverFailing_) {
        rollOverFailing_ = true;
        report(LEVEL_WARN, format(L"Failed to roll over log file %s, it keeps growing: %s: %s", fileName_, file,
                                  errorText(error)));
    }
}

DWORD RollFileWriter::copyLiveFileTo(const std::wstring& target)
{
    UniqueHandle backup(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!backup || !SetFilePointerEx(file_.get(), LARGE_INTEGER{}, nullptr, FILE_BEGIN)) {
        return GetLastError();
    }
    char buffer[65536];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file_.get(), buffer, sizeof buffer, &read, nullptr)) {
            return GetLastError();
        }
        if (read == 0) {
            return ERROR_SUCCESS;
        }
        if (!writeAll(backup.get(), buffer, read)) {
            return GetLastError();
        }
    }
}

std::wstring RollFileWriter::backupName(int number) const { return format(L"%s.%d", fileName_, number); }
