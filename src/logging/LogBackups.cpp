#include "logging/LogBackups.h"

#include <algorithm>

#include "common/Format.h"
#include "common/UniqueResource.h"
#include "logging/LogFileOperations.h"

namespace {

const wchar_t* const FORM_ENDINGS[] = {L"", L".gz"};

bool endsWith(const std::wstring& text, const std::wstring& end)
{
    return text.size() > end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool isDigits(const std::wstring& text)
{
    return !text.empty() && text.find_first_not_of(L"0123456789") == std::wstring::npos;
}

// "3", as a size backup's number is written: no leading zero.
int numberOf(const std::wstring& text)
{
    return isDigits(text) && text[0] != L'0' && text.size() <= 4 ? std::stoi(text) : 0;
}

// "2026-12-07.3": the day and the number, or false.
bool parseDaily(const std::wstring& suffix, std::wstring& day, long& number)
{
    if (suffix.size() < 12 || suffix[4] != L'-' || suffix[7] != L'-' || suffix[10] != L'.' ||
        !isDigits(suffix.substr(0, 4) + suffix.substr(5, 2) + suffix.substr(8, 2)) || !isDigits(suffix.substr(11)) ||
        suffix.size() > 20) {
        return false;
    }
    day = suffix.substr(0, 10);
    number = std::stol(suffix.substr(11));
    return true;
}

// Renaming or deleting needs delete access, which a handle of another process
// without delete sharing denies.
DWORD replaceableError(const std::wstring& file)
{
    UniqueHandle handle(CreateFileW(file.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    const DWORD error = handle ? ERROR_SUCCESS : GetLastError();
    return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
}

}  // namespace

LogBackups::LogBackups(const std::wstring& liveFile, const RollPolicy& policy, LogFileOperations& files)
    : liveFile_(liveFile), keep_(policy.keep), roll_(policy.roll), files_(files),
      numbered_(static_cast<size_t>(policy.keep) + 1, 0)
{
    find();
}

void LogBackups::find()
{
    const size_t folderEnd = liveFile_.find_last_of(L"\\/");
    const std::wstring baseName =
        (folderEnd == std::wstring::npos ? liveFile_ : liveFile_.substr(folderEnd + 1)) + L".";
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((liveFile_ + L".*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const std::wstring name = found.cFileName;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name.size() > baseName.size() &&
            _wcsnicmp(name.c_str(), baseName.c_str(), baseName.size()) == 0) {
            const std::wstring suffix = name.substr(baseName.size());
            const bool copy = endsWith(suffix, L".tmp");
            noteBackup(copy ? suffix.substr(0, suffix.size() - 4) : suffix, copy);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(daily_.begin(), daily_.end());
    // A backup and its compressed form are one backup.
    std::vector<DailyBackup> merged;
    for (const DailyBackup& backup : daily_) {
        if (!merged.empty() && merged.back().day == backup.day && merged.back().number == backup.number) {
            merged.back().forms |= backup.forms;
        } else {
            merged.push_back(backup);
        }
    }
    daily_.swap(merged);
}

void LogBackups::noteBackup(const std::wstring& suffix, bool copy)
{
    const bool gzip = endsWith(suffix, L".gz");
    // name.gz.tmp is a compression that did not finish: its plain backup stays.
    if (gzip && copy) {
        return;
    }
    const std::wstring plain = gzip ? suffix.substr(0, suffix.size() - 3) : suffix;
    const unsigned char form = gzip ? GZIP : PLAIN;
    if (roll_ == RollPolicy::Roll::Size) {
        const int number = numberOf(plain);
        if (copy && number == 1) {
            leftoverCopy_ = numberedName(1) + L".tmp";
        } else if (!copy && number >= 1 && number <= keep_) {
            numbered_[static_cast<size_t>(number)] |= form;
        }
        return;
    }
    DailyBackup backup{std::wstring(), 0, form};
    if (!parseDaily(plain, backup.day, backup.number)) {
        return;
    }
    // The newest copy left over is put in place first.
    if (copy && (leftoverCopy_.empty() || leftoverCopy_ < dailyName(backup) + L".tmp")) {
        leftoverCopy_ = dailyName(backup) + L".tmp";
    } else if (!copy) {
        daily_.push_back(backup);
    }
}

std::wstring LogBackups::nextName(const std::wstring& day) const
{
    if (roll_ == RollPolicy::Roll::Size) {
        return numberedName(1);
    }
    // The day's next number: one more than the highest of that day so far.
    long number = 0;
    for (auto backup = daily_.rbegin(); backup != daily_.rend() && backup->day >= day; ++backup) {
        if (backup->day == day) {
            number = std::max(number, backup->number);
        }
    }
    return format(L"%s.%s.%ld", liveFile_, day, number + 1);
}

DWORD LogBackups::place(const std::wstring& copy, const std::wstring& name, std::wstring& failed)
{
    if (copy == leftoverCopy_) {
        leftoverCopy_.clear();
    }
    return roll_ == RollPolicy::Roll::Size ? placeNumbered(copy, failed) : placeDaily(copy, name, failed);
}

void LogBackups::compressed(const std::wstring& name)
{
    const std::wstring suffix = name.substr(std::min(name.size(), liveFile_.size() + 1));
    if (roll_ == RollPolicy::Roll::Size) {
        const int number = numberOf(suffix);
        if (number >= 1 && number <= keep_) {
            numbered_[static_cast<size_t>(number)] = GZIP;
        }
        return;
    }
    DailyBackup backup{std::wstring(), 0, GZIP};
    if (parseDaily(suffix, backup.day, backup.number)) {
        const auto found = std::lower_bound(daily_.begin(), daily_.end(), backup);
        if (found != daily_.end() && found->day == backup.day && found->number == backup.number) {
            found->forms = GZIP;
        }
    }
}

// Makes room for the new .1: the oldest backup goes, then each moves one up,
// oldest first. Only as far as the first gap, so that a roll-over retried
// after a failure halfway loses no further generation.
DWORD LogBackups::placeNumbered(const std::wstring& copy, std::wstring& failed)
{
    int gap = 1;
    while (gap < keep_ && numbered_[static_cast<size_t>(gap)] != 0) {
        ++gap;
    }
    // Backups that cannot be moved are found before the first one moves, so
    // that in the usual case a failed roll-over leaves them as they were.
    for (int n = 1; n <= gap; ++n) {
        for (int form = 0; form < 2; ++form) {
            const std::wstring name = numberedName(n) + FORM_ENDINGS[form];
            const DWORD error =
                numbered_[static_cast<size_t>(n)] & (1 << form) ? replaceableError(name) : ERROR_SUCCESS;
            if (error != ERROR_SUCCESS) {
                failed = name;
                return error;
            }
        }
    }
    DWORD error = removeForms(numberedName(gap), numbered_[static_cast<size_t>(gap)], failed);
    for (int n = gap - 1; n >= 1 && error == ERROR_SUCCESS; --n) {
        error = moveNumbered(n, n + 1, failed);
    }
    if (error != ERROR_SUCCESS) {
        return error;
    }
    if (!files_.move(copy, numberedName(1))) {
        failed = copy;
        return GetLastError();
    }
    numbered_[1] = PLAIN;
    return ERROR_SUCCESS;
}

DWORD LogBackups::moveNumbered(int from, int to, std::wstring& failed)
{
    unsigned char& source = numbered_[static_cast<size_t>(from)];
    unsigned char& target = numbered_[static_cast<size_t>(to)];
    for (int form = 0; form < 2; ++form) {
        const unsigned char bit = static_cast<unsigned char>(1 << form);
        if (!(source & bit)) {
            continue;
        }
        const std::wstring name = numberedName(from) + FORM_ENDINGS[form];
        if (files_.move(name, numberedName(to) + FORM_ENDINGS[form])) {
            target |= bit;
        } else if (GetLastError() != ERROR_FILE_NOT_FOUND) {
            failed = name;
            return GetLastError();
        }
        source &= static_cast<unsigned char>(~bit);
    }
    return ERROR_SUCCESS;
}

// A form that is gone already is no obstacle.
DWORD LogBackups::removeForms(const std::wstring& name, unsigned char& forms, std::wstring& failed)
{
    for (int form = 0; form < 2; ++form) {
        const unsigned char bit = static_cast<unsigned char>(1 << form);
        if (!(forms & bit)) {
            continue;
        }
        const std::wstring file = name + FORM_ENDINGS[form];
        if (!files_.remove(file) && GetLastError() != ERROR_FILE_NOT_FOUND) {
            failed = file;
            return GetLastError();
        }
        forms &= static_cast<unsigned char>(~bit);
    }
    return ERROR_SUCCESS;
}

DWORD LogBackups::placeDaily(const std::wstring& copy, const std::wstring& name, std::wstring& failed)
{
    DailyBackup backup{std::wstring(), 0, PLAIN};
    if (!files_.move(copy, name)) {
        failed = copy;
        return GetLastError();
    }
    if (parseDaily(name.substr(std::min(name.size(), liveFile_.size() + 1)), backup.day, backup.number)) {
        const auto at = std::lower_bound(daily_.begin(), daily_.end(), backup);
        if (at != daily_.end() && at->day == backup.day && at->number == backup.number) {
            at->forms = PLAIN;
        } else {
            daily_.insert(at, backup);
        }
    }
    dropOldestDaily();
    return ERROR_SUCCESS;
}

// What cannot be deleted now goes with a later roll-over.
void LogBackups::dropOldestDaily()
{
    while (daily_.size() > static_cast<size_t>(keep_)) {
        std::wstring failed;
        if (removeForms(dailyName(daily_.front()), daily_.front().forms, failed) != ERROR_SUCCESS) {
            return;
        }
        daily_.erase(daily_.begin());
    }
}

std::wstring LogBackups::numberedName(int number) const { return format(L"%s.%d", liveFile_, number); }

std::wstring LogBackups::dailyName(const DailyBackup& backup) const
{
    return format(L"%s.%s.%ld", liveFile_, backup.day, backup.number);
}
