#include "logging/RollFileWriter.h"

#include <windows.h>
#include <wchar.h>

#include <algorithm>
#include <vector>

#include "common/Directories.h"
#include "common/Format.h"
#include "common/TextConversion.h"
#include "common/WriteAll.h"
#include "logging/ErrorText.h"
#include "logging/Logger.h"
#include "logging/ServiceEvents.h"

namespace {

const Logger logger(L"RollFileWriter");

// While the file cannot be opened or cannot roll over, trying again often
// enough to recover soon but not so often that the program slows down.
const unsigned long long OPEN_RETRY_MILLISECONDS = 10000;
const unsigned long long ROLL_OVER_RETRY_MILLISECONDS = 30000;
const long long ROLL_OVER_RETRY_BYTES = 1048576;

std::wstring timestamp(const SYSTEMTIME& now)
{
    return format(L"[%04d-%02d-%02d %02d:%02d:%02d,%03d] ", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond, now.wMilliseconds);
}

std::wstring dayOf(const SYSTEMTIME& time) { return format(L"%04d-%02d-%02d", time.wYear, time.wMonth, time.wDay); }

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

bool exists(const std::wstring& file) { return GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Renaming or deleting needs delete access, which a handle of another process
// without delete sharing denies; a backup that does not exist is no obstacle.
DWORD replaceableError(const std::wstring& file)
{
    UniqueHandle handle(CreateFileW(file.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    const DWORD error = handle ? ERROR_SUCCESS : GetLastError();
    return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
}

// ERROR_SUCCESS when `file` is gone, also when it was not there.
DWORD removeFile(const std::wstring& file)
{
    if (DeleteFileW(file.c_str())) {
        return ERROR_SUCCESS;
    }
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
}

// A full disk leaves the handle good: the next record may fit again.
bool isHandleError(DWORD error) { return error != ERROR_DISK_FULL && error != ERROR_HANDLE_DISK_FULL; }

// The first folder on the way to `file` that is a file, or empty.
std::wstring fileInPlaceOfFolder(const std::wstring& file)
{
    std::wstring found;
    for (size_t end = file.find_last_of(L"\\/"); end != std::wstring::npos && end > 2;
         end = file.find_last_of(L"\\/", end - 1)) {
        const DWORD attributes = GetFileAttributesW(file.substr(0, end).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            found = file.substr(0, end);
        }
    }
    return found;
}

std::wstring openFailureText(const std::wstring& file, DWORD error)
{
    const std::wstring blocker = error == ERROR_ALREADY_EXISTS ? fileInPlaceOfFolder(file) : std::wstring();
    if (!blocker.empty()) {
        return format(L"Failed to open log file %s: the folder %s is a file", file, blocker);
    }
    return format(L"Failed to open log file %s: %s", file, errorText(error));
}

// A daily backup's day and number, from the part of its name after "log."
struct DailyBackup {
    std::wstring day;
    long number;
    std::wstring name;
    bool operator<(const DailyBackup& other) const
    {
        return day != other.day ? day < other.day : number < other.number;
    }
};

bool isDigits(const std::wstring& text)
{
    return !text.empty() && text.find_first_not_of(L"0123456789") == std::wstring::npos;
}

// "2026-12-07.3" or "2026-12-07.3.gz".
bool parseDailySuffix(const std::wstring& suffix, DailyBackup& backup)
{
    if (suffix.size() < 12 || suffix[4] != L'-' || suffix[7] != L'-' || suffix[10] != L'.' ||
        !isDigits(suffix.substr(0, 4) + suffix.substr(5, 2) + suffix.substr(8, 2))) {
        return false;
    }
    std::wstring number = suffix.substr(11);
    if (number.size() > 3 && number.compare(number.size() - 3, 3, L".gz") == 0) {
        number.resize(number.size() - 3);
    }
    if (!isDigits(number) || number.size() > 9) {
        return false;
    }
    backup.day = suffix.substr(0, 10);
    backup.number = std::stol(number);
    return true;
}

std::vector<DailyBackup> dailyBackupsOf(const std::wstring& fileName)
{
    std::vector<DailyBackup> backups;
    const size_t folderEnd = fileName.find_last_of(L"\\/");
    const std::wstring folder = folderEnd == std::wstring::npos ? std::wstring() : fileName.substr(0, folderEnd + 1);
    const std::wstring baseName = fileName.substr(folder.size()) + L".";
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((fileName + L".*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return backups;
    }
    do {
        const std::wstring name = found.cFileName;
        DailyBackup backup;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name.size() > baseName.size() &&
            _wcsnicmp(name.c_str(), baseName.c_str(), baseName.size()) == 0 &&
            parseDailySuffix(name.substr(baseName.size()), backup)) {
            backup.name = folder + name;
            backups.push_back(backup);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(backups.begin(), backups.end());
    return backups;
}

std::wstring lostRecordsText(RollFileWriter::Layout layout, int count, DWORD reason)
{
    if (layout == RollFileWriter::Layout::Raw) {
        return format(count == 1 ? L"%d line of program output was lost: %s"
                                 : L"%d lines of program output were lost: %s",
                      count, errorText(reason));
    }
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
        logger.error(openFailureText(newFileName, openError_));
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
    FILETIME written = {};
    FILETIME local = {};
    SYSTEMTIME day = {};
    if (size_ > 0 && GetFileTime(file_.get(), nullptr, nullptr, &written) &&
        FileTimeToLocalFileTime(&written, &local) && FileTimeToSystemTime(&local, &day)) {
        fileDay_ = dayOf(day);
    }
    logger.info(layout_ == Layout::Raw ? L"Program output will be written to: %s"
                                       : L"Logging will be redirected to: %s",
                name);
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
    const SYSTEMTIME now = localTime();
    append(timestamp(now) + prefix + message + L"\n", now);
}

void RollFileWriter::writeLine(const std::wstring& line) { append(line + L"\n", localTime()); }

void RollFileWriter::append(const std::wstring& records, const SYSTEMTIME& now)
{
    retryOpenIfDue();
    if (!file_) {
        if (!wantedFileName_.empty()) {
            countLostRecord(openError_);
        }
        return;
    }
    // The first record of a new day starts the day's file.
    if (isNewDay(now) && rollOverAllowed()) {
        rollOver();
    }
    if (!writeRecord(records)) {
        return;
    }
    fileDay_ = dayOf(now);
    if (size_ >= policy_.maxSize && rollOverAllowed()) {
        rollOver();
    }
    const std::wstring compressionFailure = compressor_.takeFailure();
    if (!compressionFailure.empty()) {
        report(LEVEL_WARN, compressionFailure);
    }
}

void RollFileWriter::close()
{
    file_.reset();
    fileName_.clear();
    wantedFileName_.clear();
    size_ = 0;
    fileDay_.clear();
    rollOverFailing_ = false;
}

unsigned long long RollFileWriter::tickCount() const { return GetTickCount64(); }

SYSTEMTIME RollFileWriter::localTime() const
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return now;
}

BOOL RollFileWriter::writeFile(HANDLE file, const char* data, DWORD size, DWORD* written)
{
    return WriteFile(file, data, size, written, nullptr);
}

// Writes whole records or nothing: what part of them reached the file is cut
// off again, so that no torn record is glued to the next one.
DWORD RollFileWriter::appendRecords(const std::wstring& records)
{
    const std::string bytes = recordBytes(records);
    const char* data = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        DWORD written = 0;
        if (!writeFile(file_.get(), data, static_cast<DWORD>(left), &written) || written == 0) {
            break;
        }
        data += written;
        left -= written;
    }
    if (left == 0) {
        size_ += static_cast<long long>(bytes.size());
        return ERROR_SUCCESS;
    }
    const DWORD error = GetLastError();
    LARGE_INTEGER recordStart = {};
    recordStart.QuadPart = size_;
    if (SetFilePointerEx(file_.get(), recordStart, nullptr, FILE_BEGIN)) {
        SetEndOfFile(file_.get());
    }
    return error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT;
}

// After an outage the count of lost records goes with the first record that
// can be written, together or not at all: a nearly full disk may still take a
// short warning but not the record after it. The program's own lines are left
// as they are; their count goes only to the log.
bool RollFileWriter::writeRecord(const std::wstring& records)
{
    const std::wstring lost = lostRecords_ > 0 ? lostRecordsText(layout_, lostRecords_, lostReason_) : std::wstring();
    std::wstring text = records;
    if (!lost.empty() && layout_ == Layout::Stamped) {
        text = timestamp(localTime()) + logger.prefix(LEVEL_WARN) + lost + L"\n" + text;
    }
    const DWORD error = appendRecords(text);
    if (error != ERROR_SUCCESS) {
        if (lostRecords_ == 0) {
            logger.warn(L"Failed to write to log file %s: %s", fileName_, errorText(error));
        }
        countLostRecord(error);
        if (isHandleError(error)) {
            loseHandle(error);
        }
        return false;
    }
    if (!lost.empty()) {
        const int count = lostRecords_;
        lostRecords_ = 0;
        logger.warn(lost);
        ServiceEvents::recordsLost(static_cast<unsigned long long>(count), fileName_, errorText(lostReason_));
    }
    return true;
}

// A handle that went bad (a share that disconnected) is given up and the
// file opened again on the schedule of a file that could not be opened.
void RollFileWriter::loseHandle(DWORD error)
{
    file_.reset();
    fileName_.clear();
    size_ = 0;
    fileDay_.clear();
    openError_ = error;
    openTriedAt_ = tickCount();
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
    if (layout_ == Layout::Stamped) {
        writeRecord(timestamp(localTime()) + logger.prefix(level) + message + L"\n");
    }
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
// so a roll-over that failed waits for more content or for time to pass. While
// a backup is compressed the backups stay where they are: the file grows a
// little longer rather than the records waiting.
bool RollFileWriter::rollOverAllowed() const
{
    if (compressor_.isBusy()) {
        return false;
    }
    return !rollOverFailing_ || size_ >= rollOverRetrySize_ ||
           tickCount() - rollOverFailedAt_ >= ROLL_OVER_RETRY_MILLISECONDS;
}

bool RollFileWriter::isNewDay(const SYSTEMTIME& now) const
{
    return policy_.roll == RollPolicy::Roll::Daily && size_ > 0 && !fileDay_.empty() && fileDay_ != dayOf(now);
}

void RollFileWriter::rollOver()
{
    const bool daily = policy_.roll == RollPolicy::Roll::Daily;
    // Backups that cannot be moved are found before the first one moves, so
    // that in the usual case a failed roll-over leaves them as they were.
    for (int n = 1; !daily && n <= policy_.keep && (exists(backupName(n)) || exists(backupName(n) + L".gz")); ++n) {
        for (const std::wstring& name : {backupName(n), backupName(n) + L".gz"}) {
            const DWORD error = replaceableError(name);
            if (error != ERROR_SUCCESS) {
                rollOverFailed(name, error);
                return;
            }
        }
    }
    const std::wstring backup = daily ? nextDailyBackupName() : backupName(1);
    const std::wstring copy = backup + L".tmp";
    const DWORD copyError = copyLiveFileTo(copy);
    seekToEnd();
    if (copyError != ERROR_SUCCESS) {
        DeleteFileW(copy.c_str());
        rollOverFailed(copy, copyError);
        return;
    }
    // The copy stays when it cannot be put in place, and the live file whole.
    std::wstring failed = backup;
    DWORD error = daily ? ERROR_SUCCESS : shiftBackups(failed);
    if (error == ERROR_SUCCESS && !MoveFileExW(copy.c_str(), backup.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        error = GetLastError();
        failed = copy;
    }
    if (error != ERROR_SUCCESS) {
        rollOverFailed(failed, error);
        return;
    }
    if (daily) {
        dropOldestDailyBackups();
    }
    if (SetFilePointerEx(file_.get(), LARGE_INTEGER{}, nullptr, FILE_BEGIN) && SetEndOfFile(file_.get())) {
        size_ = 0;
        fileDay_.clear();
    } else {
        seekToEnd();
    }
    if (policy_.compress) {
        compressor_.start(backup);
    }
    if (rollOverFailing_) {
        rollOverFailing_ = false;
        report(LEVEL_INFO, format(L"Log file %s rolls over again", fileName_));
    }
}

// Makes room for the new .1: the oldest backup goes, then each moves one up,
// oldest first, each move checked. Only as far as the first gap, so that a
// roll-over retried after a failure halfway loses no further generation.
DWORD RollFileWriter::shiftBackups(std::wstring& failed)
{
    int gap = 1;
    while (gap < policy_.keep && (exists(backupName(gap)) || exists(backupName(gap) + L".gz"))) {
        ++gap;
    }
    for (const std::wstring& name : {backupName(gap), backupName(gap) + L".gz"}) {
        const DWORD error = removeFile(name);
        if (error != ERROR_SUCCESS) {
            failed = name;
            return error;
        }
    }
    for (int n = gap - 1; n >= 1; --n) {
        const DWORD error = moveBackup(n, n + 1);
        if (error != ERROR_SUCCESS) {
            failed = backupName(n);
            return error;
        }
    }
    return ERROR_SUCCESS;
}

// Moves the plain and the compressed form, whichever are there.
DWORD RollFileWriter::moveBackup(int from, int to)
{
    for (const wchar_t* form : {L"", L".gz"}) {
        const std::wstring source = backupName(from) + form;
        const std::wstring target = backupName(to) + form;
        if (exists(source) && !MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            return GetLastError();
        }
    }
    return ERROR_SUCCESS;
}

// What cannot be deleted now goes with a later roll-over.
void RollFileWriter::dropOldestDailyBackups()
{
    const std::vector<DailyBackup> backups = dailyBackupsOf(fileName_);
    // A backup and its compressed form are one backup.
    std::vector<const DailyBackup*> distinct;
    for (const DailyBackup& backup : backups) {
        if (distinct.empty() || distinct.back()->day != backup.day || distinct.back()->number != backup.number) {
            distinct.push_back(&backup);
        }
    }
    const size_t excess = distinct.size() > static_cast<size_t>(policy_.keep) ? distinct.size() - policy_.keep : 0;
    for (const DailyBackup& backup : backups) {
        for (size_t i = 0; i < excess; ++i) {
            if (distinct[i]->day == backup.day && distinct[i]->number == backup.number) {
                DeleteFileW(backup.name.c_str());
            }
        }
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
    // Others, such as a virus scanner, may read the copy as it is written.
    UniqueHandle backup(CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
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

// The day's next number: one more than the highest of that day so far.
std::wstring RollFileWriter::nextDailyBackupName() const
{
    const std::wstring day = fileDay_.empty() ? dayOf(localTime()) : fileDay_;
    long number = 0;
    for (const DailyBackup& backup : dailyBackupsOf(fileName_)) {
        if (backup.day == day) {
            number = std::max(number, backup.number);
        }
    }
    return format(L"%s.%s.%ld", fileName_, day, number + 1);
}
