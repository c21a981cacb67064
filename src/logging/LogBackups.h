#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "logging/RollPolicy.h"

class LogFileOperations;

// The backups of one log file, found in one listing of its folder and then
// followed through every roll-over, so that a roll-over probes no names and
// deletes only the oldest backup, whatever `keep` is. Size backups are
// name.1 (newest) to name.<keep>; daily ones name.<day>.<n>; each may be
// compressed into name.gz.
class LogBackups {
public:
    LogBackups(const std::wstring& liveFile, const RollPolicy& policy, LogFileOperations& files);

    bool follows(const RollPolicy& policy) const { return policy.keep == keep_ && policy.roll == roll_; }
    // The name of the next backup; a daily one takes `day`, "2026-12-07".
    std::wstring nextName(const std::wstring& day) const;
    // A copy a roll-over made and could not put in place, left as name.tmp;
    // empty when there is none.
    const std::wstring& leftoverCopy() const { return leftoverCopy_; }
    // Puts `copy` in place as the newest backup, `name`, after making room:
    // ERROR_SUCCESS, or the error and in `failed` the file it concerns.
    DWORD place(const std::wstring& copy, const std::wstring& name, std::wstring& failed);
    // The backup `name` now exists only as name.gz.
    void compressed(const std::wstring& name);

private:
    enum Form : unsigned char { PLAIN = 1, GZIP = 2 };
    struct DailyBackup {
        std::wstring day;
        long number;
        unsigned char forms;
        bool operator<(const DailyBackup& other) const
        {
            return day != other.day ? day < other.day : number < other.number;
        }
    };

    void find();
    void noteBackup(const std::wstring& suffix, bool copy);
    DWORD placeNumbered(const std::wstring& copy, std::wstring& failed);
    DWORD placeDaily(const std::wstring& copy, const std::wstring& name, std::wstring& failed);
    DWORD moveNumbered(int from, int to, std::wstring& failed);
    DWORD removeForms(const std::wstring& name, unsigned char& forms, std::wstring& failed);
    void dropOldestDaily();
    std::wstring numberedName(int number) const;
    std::wstring dailyName(const DailyBackup& backup) const;

    const std::wstring liveFile_;
    const int keep_;
    const RollPolicy::Roll roll_;
    LogFileOperations& files_;
    // Size backups: the forms of name.<n> at index n.
    std::vector<unsigned char> numbered_;
    // Daily backups, oldest first.
    std::vector<DailyBackup> daily_;
    std::wstring leftoverCopy_;
};
