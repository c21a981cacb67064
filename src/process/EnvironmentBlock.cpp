#include "process/EnvironmentBlock.h"

#include <windows.h>

#include <algorithm>

#include "common/UniqueResource.h"

namespace {

struct EnvironmentStringsTraits {
    using Type = wchar_t*;
    static Type invalid() { return nullptr; }
    static bool isValid(Type h) { return h != nullptr; }
    static void close(Type h) { FreeEnvironmentStringsW(h); }
};
using UniqueEnvironmentStrings = UniqueResource<EnvironmentStringsTraits>;

int compareNames(const std::wstring& left, const std::wstring& right)
{
    return CompareStringOrdinal(left.c_str(), static_cast<int>(left.size()), right.c_str(),
                                static_cast<int>(right.size()), TRUE);
}

template <typename Variables>
auto findByName(Variables& variables, const std::wstring& name) -> decltype(variables.begin())
{
    return std::find_if(variables.begin(), variables.end(),
                        [&name](const auto& variable) { return compareNames(variable.name, name) == CSTR_EQUAL; });
}

}  // namespace

EnvironmentBlock EnvironmentBlock::ofThisProcess()
{
    EnvironmentBlock environment;
    const UniqueEnvironmentStrings strings(GetEnvironmentStringsW());
    if (!strings) {
        return environment;
    }
    for (const wchar_t* entry = strings.get(); *entry != L'\0'; entry += wcslen(entry) + 1) {
        const std::wstring text(entry);
        // The hidden per-drive directories ("=C:=C:\work") begin with "=".
        const size_t equals = text.find(L'=', 1);
        if (equals != std::wstring::npos) {
            environment.variables_.push_back({text.substr(0, equals), text.substr(equals + 1)});
        }
    }
    return environment;
}

bool EnvironmentBlock::set(const std::wstring& name, const std::wstring& value)
{
    if (name.empty() || name.find(L'=') != std::wstring::npos) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    const auto existing = findByName(variables_, name);
    if (existing == variables_.end()) {
        variables_.push_back({name, value});
    } else {
        *existing = {name, value};
    }
    return true;
}

void EnvironmentBlock::remove(const std::wstring& name)
{
    const auto existing = findByName(variables_, name);
    if (existing != variables_.end()) {
        variables_.erase(existing);
    }
}

const std::wstring* EnvironmentBlock::find(const std::wstring& name) const
{
    const auto existing = findByName(variables_, name);
    return existing == variables_.end() ? nullptr : &existing->value;
}

std::wstring EnvironmentBlock::expand(const std::wstring& text) const
{
    std::wstring expanded;
    size_t at = 0;
    for (;;) {
        const size_t open = text.find(L'%', at);
        const size_t close = open == std::wstring::npos ? open : text.find(L'%', open + 1);
        if (close == std::wstring::npos) {
            return expanded.append(text, at, std::wstring::npos);
        }
        expanded.append(text, at, open - at);
        if (const std::wstring* value = find(text.substr(open + 1, close - open - 1))) {
            expanded += *value;
            at = close + 1;
        } else {
            // The closing "%" may open the next reference, as in "100%;%PATH%".
            expanded.append(text, open, close - open);
            at = close;
        }
    }
}

std::vector<wchar_t> EnvironmentBlock::block() const
{
    std::vector<Variable> sorted = variables_;
    std::stable_sort(sorted.begin(), sorted.end(), [](const Variable& left, const Variable& right) {
        return compareNames(left.name, right.name) == CSTR_LESS_THAN;
    });
    std::vector<wchar_t> characters;
    for (const Variable& variable : sorted) {
        const std::wstring entry = variable.name + L"=" + variable.value;
        characters.insert(characters.end(), entry.begin(), entry.end());
        characters.push_back(L'\0');
    }
    // An empty block still needs both zeros.
    characters.push_back(L'\0');
    if (characters.size() == 1) {
        characters.push_back(L'\0');
    }
    return characters;
}
