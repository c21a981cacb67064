#include "logging/RollFileWriter.h"

#include <windows.h>

#include "common/Format.h"
#include "common/TextConversion.h"
#include "logging/Logger.h"
#include "settings/Paths.h"

namespace {

const Logger logger(L"RollFileWriter");

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

}  // namespace

void RollFileWriter::open(const std::wstring& newFileName)
{
    if (newFileName == fileName_) {
        return;
    }
    createParentDirectories(newFileName);
    // Others may read the log while it is written, but not write to it.
    UniqueHandle file(CreateFileW(newFileName.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        logger.error(L"Failed to open log file %s", newFileName);
        return;
    }
    close();
    file_ = std::move(file);
    fileName_ = newFileName;
    seekToEnd();
    logger.info(L"Logging will be redirected to: %s", newFileName);
}

void RollFileWriter::write(const std::wstring& prefix, const std::wstring& message)
{
    if (!file_) {
        return;
    }
    const std::string bytes = recordBytes(timestamp() + prefix + message + L"\n");
    if (writeAll(file_.get(), bytes.data(), bytes.size())) {
        size_ += static_cast<long long>(bytes.size());
    } else {
        seekToEnd();
    }
    rollOver();
}

void RollFileWriter::close()
{
    file_.reset();
    fileName_.clear();
    size_ = 0;
}

void RollFileWriter::seekToEnd()
{
    LARGE_INTEGER end = {};
    if (SetFilePointerEx(file_.get(), LARGE_INTEGER{}, &end, FILE_END)) {
        size_ = end.QuadPart;
    }
}

void RollFileWriter::rollOver()
{
    if (size_ < maxSize_) {
        return;
    }
    // Copy first and shift the backups only when the copy is complete, so that
    // a failing copy neither loses the live content nor pushes out old backups.
    const std::wstring copy = backupName(1) + L".tmp";
    const bool copied = copyLiveFileTo(copy);
    seekToEnd();
    if (!copied) {
        DeleteFileW(copy.c_str());
        return;
    }
    for (int n = backupCount_; n >= 2; --n) {
        DeleteFileW(backupName(n).c_str());
        MoveFileW(backupName(n - 1).c_str(), backupName(n).c_str());
    }
    DeleteFileW(backupName(1).c_str());
    if (!MoveFileW(copy.c_str(), backupName(1).c_str())) {
        DeleteFileW(copy.c_str());
        return;
    }
    if (SetFilePointerEx(file_.get(), LARGE_INTEGER{}, nullptr, FILE_BEGIN) && SetEndOfFile(file_.get())) {
        size_ = 0;
    } else {
        seekToEnd();
    }
}

bool RollFileWriter::copyLiveFileTo(const std::wstring& target)
{
    UniqueHandle backup(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!backup || !SetFilePointerEx(file_.get(), LARGE_INTEGER{}, nullptr, FILE_BEGIN)) {
        return false;
    }
    char buffer[65536];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file_.get(), buffer, sizeof buffer, &read, nullptr)) {
            return false;
        }
        if (read == 0) {
            return true;
        }
        if (!writeAll(backup.get(), buffer, read)) {
            return false;
        }
    }
}

std::wstring RollFileWriter::backupName(int number) const { return format(L"%s.%d", fileName_, number); }
