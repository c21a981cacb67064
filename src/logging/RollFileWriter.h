#pragma once

#include <string>

#include "common/UniqueResource.h"
#include "logging/BackupCompressor.h"
#include "logging/RollPolicy.h"

// A log file bounded in size, and by day if asked: when it rolls over its
// content moves to a backup and it starts again empty. Size backups are
// numbered name.1 (newest) to name.<keep>; daily ones are named by the day of
// their records, name.2026-12-07.1, .2, ... in the order they were written.
// It never loses a record in silence: records that cannot be written are
// counted and the count is reported with the first record written afterwards.
class RollFileWriter {
public:
    // Stamped: Hostwell's records, "[timestamp] prefix message". Raw: the
    // program's own lines as they are; what the writer has to say about the
    // file then goes only to the log, never into the file.
    enum class Layout { Stamped, Raw };

    explicit RollFileWriter(Layout layout = Layout::Stamped) : layout_(layout) {}
    virtual ~RollFileWriter() { close(); }
    RollFileWriter(const RollFileWriter&) = delete;
    RollFileWriter& operator=(const RollFileWriter&) = delete;

    // Switches to another file; the previous one stays in use when that fails,
    // and write() tries the new one again from time to time.
    void open(const std::wstring& newFileName);
    // Takes effect with the next record.
    void setPolicy(const RollPolicy& policy) { policy_ = policy; }
    // Appends one record "[timestamp] prefix message" and rolls over if needed.
    void write(const std::wstring& prefix, const std::wstring& message);
    // Appends one line as it is.
    void writeLine(const std::wstring& line);
    void close();

    const std::wstring& fileName() const { return fileName_; }

protected:
    // Milliseconds of a steady clock; tests replace it.
    virtual unsigned long long tickCount() const;
    // The local time of the records; tests replace it.
    virtual SYSTEMTIME localTime() const;
    // WriteFile on the log file; tests make it fail.
    virtual BOOL writeFile(HANDLE file, const char* data, DWORD size, DWORD* written);

private:
    DWORD openWantedFile();
    void retryOpenIfDue();
    void append(const std::wstring& records, const SYSTEMTIME& now);
    DWORD appendRecords(const std::wstring& records);
    bool writeRecord(const std::wstring& records);
    void loseHandle(DWORD error);
    void countLostRecord(DWORD reason);
    void report(int level, const std::wstring& message);

    bool rollOverAllowed() const;
    bool isNewDay(const SYSTEMTIME& now) const;
    void rollOver();
    DWORD shiftBackups(std::wstring& failed);
    DWORD moveBackup(int from, int to);
    void dropOldestDailyBackups();
    void rollOverFailed(const std::wstring& file, DWORD error);
    DWORD copyLiveFileTo(const std::wstring& target);
    std::wstring backupName(int number) const;
    std::wstring nextDailyBackupName() const;

    void seekToEnd();

    const Layout layout_;
    RollPolicy policy_;
    std::wstring fileName_;
    UniqueHandle file_;
    // Only this process writes the file, so its size is known without asking.
    long long size_ = 0;
    // The local day of the records in the file, "2026-12-07"; empty while it is empty.
    std::wstring fileDay_;

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

    // Last, so that it is destroyed first: its thread ends before the writer.
    BackupCompressor compressor_;
};
