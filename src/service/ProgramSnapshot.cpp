#include "service/ProgramSnapshot.h"

#include <climits>
#include <vector>

#include "common/Json.h"
#include "common/TextConversion.h"
#include "common/UniqueResource.h"
#include "logging/ErrorText.h"
#include "logging/Logger.h"

namespace {

const Logger logger(L"ProgramSnapshot");

// Files of a few hundred bytes; anything larger is not one of them.
const DWORD LARGEST_STATE_FILE = 65536;
// FILETIME counts 100 ns from 1601; Unix time counts seconds from 1970.
const long long FILETIME_PER_SECOND = 10000000;
const long long SECONDS_FROM_1601_TO_1970 = 11644473600LL;

// The fields of "2026-12-07T14:03:08Z"; false for a text of another form.
bool parseUtc(const std::wstring& utc, SYSTEMTIME& time)
{
    if (utc.size() != 20 || utc[4] != L'-' || utc[7] != L'-' || utc[10] != L'T' || utc[13] != L':' ||
        utc[16] != L':' || utc[19] != L'Z') {
        return false;
    }
    const auto field = [&utc](size_t at, size_t length) -> int {
        const std::wstring digits = utc.substr(at, length);
        return digits.find_first_not_of(L"0123456789") == std::wstring::npos ? std::stoi(digits) : -1;
    };
    const int fields[] = {field(0, 4), field(5, 2), field(8, 2), field(11, 2), field(14, 2), field(17, 2)};
    for (const int value : fields) {
        if (value < 0) {
            return false;
        }
    }
    time = {};
    time.wYear = static_cast<WORD>(fields[0]);
    time.wMonth = static_cast<WORD>(fields[1]);
    time.wDay = static_cast<WORD>(fields[2]);
    time.wHour = static_cast<WORD>(fields[3]);
    time.wMinute = static_cast<WORD>(fields[4]);
    time.wSecond = static_cast<WORD>(fields[5]);
    return true;
}

// "2026-12-07 14:03:08" in local time; the text as it is when it is not a
// time of the state file's form.
std::wstring localTimeText(const std::wstring& utc)
{
    SYSTEMTIME time = {};
    SYSTEMTIME local = {};
    if (!parseUtc(utc, time) || !SystemTimeToTzSpecificLocalTime(nullptr, &time, &local)) {
        return utc;
    }
    return format(L"%04d-%02d-%02d %02d:%02d:%02d", local.wYear, local.wMonth, local.wDay, local.wHour,
                  local.wMinute, local.wSecond);
}

std::wstring numberOrNull(const std::optional<DWORD>& value)
{
    return value ? std::to_wstring(*value) : L"null";
}

std::optional<unsigned long long> numberOf(const JsonScalar* scalar, unsigned long long largest)
{
    if (scalar == nullptr || scalar->isString || scalar->isNull() || scalar->text.empty() ||
        scalar->text.find_first_not_of(L"0123456789") != std::wstring::npos || scalar->text.size() > 19) {
        return std::nullopt;
    }
    const unsigned long long value = std::stoull(scalar->text);
    if (value > largest) {
        return std::nullopt;
    }
    return value;
}

std::optional<DWORD> dwordOf(const JsonScalar* scalar)
{
    const std::optional<unsigned long long> value = numberOf(scalar, MAXDWORD);
    return value ? std::optional<DWORD>(static_cast<DWORD>(*value)) : std::nullopt;
}

std::optional<std::string> readWhole(const std::wstring& path)
{
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE |
                                        FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return std::nullopt;
    }
    std::vector<char> buffer(LARGEST_STATE_FILE);
    DWORD read = 0;
    if (!ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) {
        return std::nullopt;
    }
    return std::string(buffer.data(), read);
}

}  // namespace

std::optional<ProgramSnapshot> ProgramSnapshot::read(const std::wstring& file)
{
    const std::optional<std::string> bytes = readWhole(file);
    if (!bytes) {
        logger.debug(L"No program state in %s: %s", file, lastErrorText());
        return std::nullopt;
    }
    const auto scalars = readJsonScalars(fromUtf8(*bytes));
    if (!scalars) {
        logger.warn(L"The program state file %s is not the JSON that Hostwell writes", file);
        return std::nullopt;
    }
    const auto find = [&scalars](const wchar_t* name) -> const JsonScalar* {
        const auto found = scalars->find(std::wstring(L"program.") + name);
        return found == scalars->end() ? nullptr : &found->second;
    };
    // Files of older versions lack the counters: they count as 0.
    ProgramSnapshot snapshot;
    snapshot.processId = dwordOf(find(L"processId"));
    if (const JsonScalar* startedAt = find(L"startedAt"); startedAt != nullptr && startedAt->isString) {
        snapshot.startedAt = startedAt->text;
    }
    snapshot.restarts = static_cast<unsigned>(numberOf(find(L"restarts"), UINT_MAX).value_or(0));
    snapshot.restartsTotal = numberOf(find(L"restartsTotal"), ULLONG_MAX).value_or(0);
    snapshot.recycles = numberOf(find(L"recycles"), ULLONG_MAX).value_or(0);
    snapshot.lastExitCode = dwordOf(find(L"lastExitCode"));
    if (const JsonScalar* health = find(L"health"); health != nullptr && health->isString) {
        snapshot.health = health->text;
    }
    snapshot.logRecordsLost = numberOf(find(L"logRecordsLost"), ULLONG_MAX).value_or(0);
    return snapshot;
}

std::wstring ProgramSnapshot::json() const
{
    return format(L"{\"processId\": %s, \"startedAt\": %s, \"restarts\": %u, \"lastExitCode\": %s, \"health\": %s, "
                  L"\"restartsTotal\": %s, \"recycles\": %s, \"logRecordsLost\": %s}",
                  numberOrNull(processId), startedAt.empty() ? std::wstring(L"null") : jsonString(startedAt),
                  restarts, numberOrNull(lastExitCode), health ? jsonString(*health) : std::wstring(L"null"),
                  std::to_wstring(restartsTotal), std::to_wstring(recycles), std::to_wstring(logRecordsLost));
}

std::wstring ProgramSnapshot::text() const
{
    std::wstring text = processId ? format(L"program process id %lu", *processId) : L"program not running";
    if (!startedAt.empty()) {
        text += (processId ? L", started " : L", last started ") + localTimeText(startedAt);
    }
    text += format(restarts == 1 ? L", %u restart" : L", %u restarts", restarts);
    if (lastExitCode) {
        text += format(L", last exit code %lu", *lastExitCode);
    }
    if (health) {
        text += L", health " + *health;
    }
    return text;
}

std::optional<long long> unixSeconds(const std::wstring& utc)
{
    SYSTEMTIME time = {};
    FILETIME since1601 = {};
    if (!parseUtc(utc, time) || !SystemTimeToFileTime(&time, &since1601)) {
        return std::nullopt;
    }
    const long long ticks =
        static_cast<long long>((static_cast<unsigned long long>(since1601.dwHighDateTime) << 32) | since1601.dwLowDateTime);
    return ticks / FILETIME_PER_SECOND - SECONDS_FROM_1601_TO_1970;
}
