#include "logging/RollFileWriter.h"

#include <windows.h>

#include "common/Directories.h"
#include "common/Format.h"
#include "common/TextConversion.h"
#include "common/WriteAll.h"
#include "logging/ErrorText.h"
#include "logging/Logger.h"

namespace {

const Logger logger(L"RollFileWriter");

// While the file cannot be opened or written, trying again often enough to
// recover soon but not so often that the program slows down.
const unsigned long long RETRY_MILLISECONDS = 10000;

std::wstring timestamp(const SYSTEMTIME& now)
{
    return format(L"[%04d-%02d-%02d %02d:%02d:%02d,%03d] ", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond, now.wMilliseconds);
}

std::wstring dayOf(const SYSTEMTIME& time) { return format(L"%04d-%02d-%02d", time.wYear, time.wMonth, time.wDay); }

// The file is a text file: every line of a record ends in CR LF.
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

}  // namespace

RollFileWriter::RollFileWriter(Layout layout, LogFileOperations& files)
    : layout_(layout), rollOver_(files)
{
}

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
    const LostRecords lost = lost_;
    close();
    lost_ = lost;
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
    if (wantedFileName_ != fileName_ && tickCount() - openTriedAt_ >= RETRY_MILLISECONDS) {
        openError_ = openWantedFile();
    }
}

void RollFileWriter::write(const std::wstring& prefix, const std::wstring& message)
{
    const SYSTEMTIME now = localTime();
    append(timestamp(now) + prefix + message + L"\n", now);
}

// A line of the program's may hold a lone CR or LF of its own: it stays as it is.
void RollFileWriter::writeLine(const std::wstring& line) { append(line + L"\r\n", localTime()); }

void RollFileWriter::append(const std::wstring& records, const SYSTEMTIME& now)
{
    retryOpenIfDue();
    if (!file_) {
        if (!wantedFileName_.empty()) {
            countLostRecord(openError_);
        }
        return;
    }
    takeRollOverOutcome();
    // The first record of a new day starts the day's file.
    if (isNewDay(now) && rollOverAllowed()) {
        rollOver();
    }
    if (!writeRecord(records)) {
        return;
    }
    fileDay_ = dayOf(now);
    if (!rollOver_.isDue(size_, policy_.maxSize)) {
        return;
    }
    // The live file grows ahead of the backups that move, up to twice its
    // size: there the records wait for them, so no file grows without bound.
    if (size_ >= 2 * policy_.maxSize) {
        rollOver_.wait();
        takeRollOverOutcome();
    }
    if (rollOverAllowed()) {
        rollOver();
    }
}

void RollFileWriter::close()
{
    rollOver_.forget();
    file_.reset();
    fileName_.clear();
    wantedFileName_.clear();
    size_ = 0;
    fileDay_.clear();
    lost_ = LostRecords();
    writeFailing_ = false;
}

DWORD RollFileWriter::millisecondsToRetry() const
{
    if (lost_.count == 0) {
        return INFINITE;
    }
    const unsigned long long waited = tickCount() - lossTriedAt_;
    return waited >= RETRY_MILLISECONDS ? 0 : static_cast<DWORD>(RETRY_MILLISECONDS - waited);
}

// A Raw writer cannot try the file without one of the program's lines: its
// count goes to the log, and the outage goes on being counted.
void RollFileWriter::retryLostRecords()
{
    if (millisecondsToRetry() != 0) {
        return;
    }
    lossTriedAt_ = tickCount();
    if (layout_ == Layout::Raw) {
        lostRecordsReported();
        return;
    }
    retryOpenIfDue();
    if (file_ && appendRecords(lostRecordsRecord()) == ERROR_SUCCESS) {
        writeFailing_ = false;
        lostRecordsReported();
    }
}

void RollFileWriter::reportLossAtStop()
{
    if (lost_.count == 0) {
        return;
    }
    if (layout_ == Layout::Stamped && file_) {
        appendRecords(lostRecordsRecord());
    }
    lostRecordsReported();
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
    const std::string bytes = layout_ == Layout::Raw ? toUtf8(records) : recordBytes(records);
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
    const bool reporting = lost_.count > 0;
    const std::wstring text = reporting && layout_ == Layout::Stamped ? lostRecordsRecord() + records : records;
    const DWORD error = appendRecords(text);
    if (error != ERROR_SUCCESS) {
        if (!writeFailing_) {
            writeFailing_ = true;
            logger.warn(L"Failed to write to log file %s: %s", fileName_, errorText(error));
        }
        countLostRecord(error);
        if (isHandleError(error)) {
            loseHandle(error);
        }
        return false;
    }
    writeFailing_ = false;
    if (reporting) {
        lostRecordsReported();
    }
    return true;
}

// A handle that went bad (a share that disconnected) is given up and the
// file opened again on the schedule of a file that could not be opened.
void RollFileWriter::loseHandle(DWORD error)
{
    rollOver_.forget();
    file_.reset();
    fileName_.clear();
    size_ = 0;
    fileDay_.clear();
    openError_ = error;
    openTriedAt_ = tickCount();
}

void RollFileWriter::countLostRecord(DWORD reason)
{
    if (lost_.count == 0) {
        lossTriedAt_ = tickCount();
    }
    lost_.add(reason);
}

std::wstring RollFileWriter::lostRecordsRecord() const
{
    return timestamp(localTime()) + logger.prefix(LEVEL_WARN) + lostRecordsText(false, lost_, wantedFileName_) +
           L"\n";
}

void RollFileWriter::lostRecordsReported()
{
    reportLostRecords(layout_ == Layout::Raw, lost_, wantedFileName_);
    lost_ = LostRecords();
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

bool RollFileWriter::isNewDay(const SYSTEMTIME& now) const
{
    return policy_.roll == RollPolicy::Roll::Daily && size_ > 0 && !fileDay_.empty() && fileDay_ != dayOf(now);
}

bool RollFileWriter::rollOverAllowed() const { return rollOver_.isAllowed(size_, tickCount()); }

void RollFileWriter::rollOver()
{
    std::vector<LogRollOver::Message> messages;
    const std::wstring day = fileDay_.empty() ? dayOf(localTime()) : fileDay_;
    if (rollOver_.start(file_.get(), fileName_, policy_, day, size_, tickCount(), messages)) {
        fileDay_.clear();
    }
    // Reading the file for its copy moved the position.
    seekToEnd();
    reportAll(messages);
}

void RollFileWriter::takeRollOverOutcome()
{
    std::vector<LogRollOver::Message> messages;
    rollOver_.takeOutcome(fileName_, messages);
    reportAll(messages);
}

void RollFileWriter::reportAll(const std::vector<LogRollOver::Message>& messages)
{
    for (const LogRollOver::Message& message : messages) {
        report(message.level, message.text);
    }
}
