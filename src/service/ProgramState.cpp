#include "service/ProgramState.h"

#include <vector>

#include "common/Json.h"
#include "common/TextConversion.h"
#include "common/UniqueResource.h"
#include "logging/ErrorText.h"
#include "logging/Logger.h"
#include "settings/Paths.h"

namespace {

const Logger logger(L"ProgramState");

// Files of a few hundred bytes; anything larger is not one of them.
const DWORD LARGEST_STATE_FILE = 65536;
const int RENAME_ATTEMPTS = 5;
const DWORD RENAME_RETRY_MILLISECONDS = 20;

std::wstring utcNow()
{
    SYSTEMTIME now = {};
    GetSystemTime(&now);
    return format(L"%04d-%02d-%02dT%02d:%02d:%02dZ", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                  now.wSecond);
}

// "2026-12-07 14:03:08" in local time; the text as it is when it is not a
// time of utcNow's.
std::wstring localTimeText(const std::wstring& utc)
{
    SYSTEMTIME time = {};
    SYSTEMTIME local = {};
    try {
        if (utc.size() != 20) {
            return utc;
        }
        time.wYear = static_cast<WORD>(std::stoi(utc.substr(0, 4)));
        time.wMonth = static_cast<WORD>(std::stoi(utc.substr(5, 2)));
        time.wDay = static_cast<WORD>(std::stoi(utc.substr(8, 2)));
        time.wHour = static_cast<WORD>(std::stoi(utc.substr(11, 2)));
        time.wMinute = static_cast<WORD>(std::stoi(utc.substr(14, 2)));
        time.wSecond = static_cast<WORD>(std::stoi(utc.substr(17, 2)));
    } catch (const std::exception&) {
        return utc;
    }
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &time, &local)) {
        return utc;
    }
    return format(L"%04d-%02d-%02d %02d:%02d:%02d", local.wYear, local.wMonth, local.wDay, local.wHour,
                  local.wMinute, local.wSecond);
}

std::wstring numberOrNull(const std::optional<DWORD>& value)
{
    return value ? std::to_wstring(*value) : L"null";
}

std::optional<DWORD> numberOf(const JsonScalar* scalar)
{
    if (scalar == nullptr || scalar->isString || scalar->isNull() || scalar->text.empty() ||
        scalar->text.find_first_not_of(L"0123456789") != std::wstring::npos || scalar->text.size() > 10) {
        return std::nullopt;
    }
    const unsigned long long value = std::stoull(scalar->text);
    if (value > MAXDWORD) {
        return std::nullopt;
    }
    return static_cast<DWORD>(value);
}

bool writeWhole(const std::wstring& path, const std::string& bytes)
{
    const UniqueHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    DWORD written = 0;
    return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
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

// Windows refuses to replace a file while a reader (status) has it open, so
// the rename is tried a few times: a reader holds it for a moment only.
bool replaceWith(const std::wstring& source, const std::wstring& target)
{
    for (int attempt = 1;; ++attempt) {
        if (MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return true;
        }
        const DWORD error = GetLastError();
        if (attempt == RENAME_ATTEMPTS || (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION)) {
            return false;
        }
        Sleep(RENAME_RETRY_MILLISECONDS);
    }
}

}  // namespace

std::wstring ProgramState::fileBeside(const std::wstring& logFile)
{
    return programStateFileBeside(logFile);
}

std::optional<ProgramState> ProgramState::read(const std::wstring& file)
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
    ProgramState state(file);
    state.processId_ = numberOf(find(L"processId"));
    if (const JsonScalar* startedAt = find(L"startedAt"); startedAt != nullptr && startedAt->isString) {
        state.startedAt_ = startedAt->text;
    }
    state.restarts_ = numberOf(find(L"restarts")).value_or(0);
    state.lastExitCode_ = numberOf(find(L"lastExitCode"));
    if (const JsonScalar* health = find(L"health"); health != nullptr && health->isString) {
        state.health_ = health->text;
    }
    return state;
}

void ProgramState::started(DWORD processId)
{
    processId_ = processId;
    startedAt_ = utcNow();
    save();
}

void ProgramState::ended(DWORD exitCode)
{
    processId_.reset();
    lastExitCode_ = exitCode;
    save();
}

void ProgramState::restarting(unsigned restarts)
{
    restarts_ = restarts;
    save();
}

void ProgramState::healthChanged(const std::wstring& health)
{
    if (health_ != health) {
        health_ = health;
        save();
    }
}

std::wstring ProgramState::json() const
{
    return format(L"{\"processId\": %s, \"startedAt\": %s, \"restarts\": %u, \"lastExitCode\": %s, \"health\": %s}",
                  numberOrNull(processId_), startedAt_.empty() ? std::wstring(L"null") : jsonString(startedAt_),
                  restarts_, numberOrNull(lastExitCode_), health_ ? jsonString(*health_) : std::wstring(L"null"));
}

std::wstring ProgramState::text() const
{
    std::wstring text = processId_ ? format(L"program process id %lu", *processId_) : L"program not running";
    if (!startedAt_.empty()) {
        text += (processId_ ? L", started " : L", last started ") + localTimeText(startedAt_);
    }
    text += format(restarts_ == 1 ? L", %u restart" : L", %u restarts", restarts_);
    if (lastExitCode_) {
        text += format(L", last exit code %lu", *lastExitCode_);
    }
    if (health_) {
        text += L", health " + *health_;
    }
    return text;
}

void ProgramState::save()
{
    if (file_.empty()) {
        return;
    }
    const std::wstring temporary = file_ + L".tmp";
    // Readers see the old state or the new one, never half of it.
    const bool saved = writeWhole(temporary, toUtf8(L"{\"program\": " + json() + L"}\r\n")) &&
                       replaceWith(temporary, file_);
    if (!saved && !saveFailed_) {
        logger.warn(L"Failed to write the program state to %s: %s", file_, lastErrorText());
    } else if (saved && saveFailed_) {
        logger.info(L"The program state is written to %s again", file_);
    }
    saveFailed_ = !saved;
}
