#pragma once

#include <string>
#include <vector>

#include "common/UniqueResource.h"
#include "logging/LogFileOperations.h"
#include "logging/LogRollOver.h"
#include "logging/LostRecords.h"
#include "logging/RollPolicy.h"

// A log file bounded in size, and by day if asked: when it rolls over its
// content moves to a backup (LogRollOver) and it starts again empty. It never
// loses a record in silence: records that cannot be written are counted and
// the count is reported with the next record written, on the retry schedule
// (retryLostRecords) or at the stop (reportLossAtStop), whichever comes first.
// Not thread-safe: its owner serialises the calls.
class RollFileWriter {
public:
    // Stamped: Hostwell's records, "[timestamp] prefix message". Raw: the
    // program's own lines as they are; what the writer has to say about the
    // file then goes only to the log, never into the file.
    enum class Layout { Stamped, Raw };

    explicit RollFileWriter(Layout layout = Layout::Stamped,
                            LogFileOperations& files = LogFileOperations::system());
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
    // Appends one line as it is, with CR LF.
    void writeLine(const std::wstring& line);
    void close();

    // Milliseconds until retryLostRecords is due; INFINITE while nothing is lost.
    DWORD millisecondsToRetry() const;
    // When due: the count of lost records goes into the file (a Stamped one,
    // if it takes it again) or to the log (a Raw one).
    void retryLostRecords();
    // The count now, into the file if it takes it and in any case to the log.
    void reportLossAtStop();
    // Waits for the backups being moved; the outcome shows with the next record.
    void waitForBackups() { rollOver_.wait(); }

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
    std::wstring lostRecordsRecord() const;
    void lostRecordsReported();
    void report(int level, const std::wstring& message);

    bool isNewDay(const SYSTEMTIME& now) const;
    bool rollOverAllowed() const;
    void rollOver();
    void takeRollOverOutcome();
    void reportAll(const std::vector<LogRollOver::Message>& messages);

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

    LostRecords lost_;
    unsigned long long lossTriedAt_ = 0;
    // Between a failed write and the next that succeeds: warned about once.
    bool writeFailing_ = false;

    // Last, so that it is destroyed first: the backups stop moving before the writer goes.
    LogRollOver rollOver_;
};
