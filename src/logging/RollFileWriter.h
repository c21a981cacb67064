#pragma once

#include <string>

#include "common/UniqueResource.h"

// A log file bounded in size: when it reaches maxSize its content moves to
// numbered backups (name.1 newest to name.3 oldest) and it starts again empty.
// It never loses a record in silence: records that cannot be written are
// counted and the count is the first record written afterwards.
class RollFileWriter {
public:
    RollFileWriter() = default;
    virtual ~RollFileWriter() { close(); }
    RollFileWriter(const RollFileWriter&) = delete;
    RollFileWriter& operator=(const RollFileWriter&) = delete;

    // Switches to another file; the previous one stays in use when that fails,
    // and write() tries the new one again from time to time.
    void open(const std::wstring& newFileName);
    // Appends one record "[timestamp] prefix message" and rolls over if needed.
    void write(const std::wstring& prefix, const std::wstring& message);
    void close();

    const std::wstring& fileName() const { return fileName_; }

protected:
    // Milliseconds of a steady clock; tests replace it.
    virtual unsigned long long tickCount() const;

private:
    DWORD openWantedFile();
    void retryOpenIfDue();
    DWORD appendRecords(const std::wstring& records);
    bool writeRecord(const std::wstring& prefix, const std::wstring& message);
    void countLostRecord(DWORD reason);
    void report(int level, const std::wstring& message);

    bool rollOverDue() const;
    void rollOver();
    void rollOverFailed(const std::wstring& file, DWORD error);
    DWORD copyLiveFileTo(const std::wstring& target);
    std::wstring backupName(int number) const;

    void seekToEnd();

    std::wstring fileName_;
    UniqueHandle file_;
    // Only this process writes the file, so its size is known without asking.
    long long size_ = 0;
    int maxSize_ = 3145728;
    int backupCount_ = 3;

    // The file asked for last; while it differs from fileName_ it is retried.
    std::wstring wantedFileName_;
    DWORD openError_ = ERROR_SUCCESS;
    unsigned long long openTriedAt_ = 0;

    // Records that could not be written since the last one that could.
    int lostRecords_ = 0;
    DWORD lostReason_ = ERROR_SUCCESS;

    bool rollOverFailing_ = false;
    long long rollOverRetrySize_ = 0;
    unsigned long long rollOverFailedAt_ = 0;
};
