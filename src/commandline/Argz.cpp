#include "commandline/Argz.h"

#include <windows.h>
#include <string.h>
#include <wchar.h>

#include <vector>

#include "commandline/ArgumentKeys.h"
#include "common/TextConversion.h"

std::wstring executableNameOf(const std::wstring& programPath)
{
    const size_t backslash = programPath.rfind(L'\\');
    const size_t slash = programPath.rfind(L'/');
    const long long lastBackslash = backslash == std::wstring::npos ? -1 : static_cast<long long>(backslash);
    const long long lastSlash = slash == std::wstring::npos ? -1 : static_cast<long long>(slash);
    const long long separator = lastBackslash > lastSlash ? lastBackslash : lastSlash;
    if (separator > 0) {
        return programPath.substr(static_cast<size_t>(separator) + 1);
    }
    return programPath;
}

Argz::Argz(int argc, const wchar_t* const* argv)
{
    executableName_ = executableNameOf(argc > 0 && argv != nullptr && argv[0] != nullptr
                                           ? std::wstring(argv[0])
                                           : std::wstring(L"Hostwell.exe"));
    for (int i = 1; i < argc; ++i) {
        arguments_.push_back(argv[i] != nullptr ? std::wstring(argv[i]) : std::wstring());
    }
}

Argz::Argz(const Argz& source, int dropped) : executableName_(source.executableName_)
{
    for (int i = dropped < 0 ? 0 : dropped; i < source.count(); ++i) {
        arguments_.push_back(source.arguments_[static_cast<size_t>(i)]);
    }
}

Argz::Argz(const std::wstring& first, const Argz& source)
    : executableName_(source.executableName_), arguments_(source.arguments_)
{
    arguments_.insert(arguments_.begin(), first);
}

std::wstring Argz::arg(int index) const
{
    if (index < 0 || index >= count()) {
        return std::wstring();
    }
    return arguments_[static_cast<size_t>(index)];
}

bool Argz::hasFlag(const std::wstring& flag) const
{
    for (const std::wstring& argument : arguments_) {
        if (_wcsicmp(argument.c_str(), flag.c_str()) == 0) {
            return true;
        }
    }
    return false;
}

bool Argz::getValue(const std::wstring& key, std::wstring& out) const
{
    const std::wstring prefix = lowerCaseAscii(L"/" + key + L"=");
    for (const std::wstring& argument : arguments_) {
        if (lowerCaseAscii(argument).compare(0, prefix.size(), prefix) == 0) {
            out = argument.substr(prefix.size());
            return true;
        }
    }
    return false;
}

bool Argz::getBool(const std::wstring& key, bool defaultValue) const
{
    std::wstring value;
    if (!getValue(key, value)) {
        return defaultValue;
    }
    return lowerCaseAscii(value) == L"true";
}

bool Argz::isDebug() const { return hasFlag(FLAG_DEBUG); }

bool Argz::isDebugService() const { return hasFlag(FLAG_DEBUG_SERVICE); }

bool Argz::getLogFileArgument(std::wstring& out) const
{
    out.clear();
    std::wstring value;
    if (!getValue(KEY_LOG_FILE, value)) {
        return false;
    }
    const DWORD capacity = 65535;
    std::vector<wchar_t> buffer(capacity, L'\0');
    const DWORD length = GetFullPathNameW(value.c_str(), capacity, buffer.data(), nullptr);
    if (length < 1 || length >= capacity) {
        return false;
    }
    out.assign(buffer.data(), length);
    return true;
}

std::wstring makeArgument(const std::wstring& key, const std::wstring& value)
{
    return L"/" + key + L"=" + value;
}

std::wstring makeBoolArgument(const std::wstring& key, bool value)
{
    return makeArgument(key, value ? L"true" : L"false");
}
