#include "install/ServiceDependencies.h"

#include <cwchar>

#include "install/RegistryValue.h"

std::wstring dependencyList(const std::vector<std::wstring>& names)
{
    std::wstring list;
    for (const std::wstring& name : names) {
        list += name;
        list += L'\0';
    }
    // c_str() adds the NUL that ends the list; an empty list needs two.
    if (list.empty()) {
        list += L'\0';
    }
    return list;
}

std::vector<std::wstring> dependencyNames(const wchar_t* list)
{
    std::vector<std::wstring> names;
    for (const wchar_t* name = list; name != nullptr && *name != L'\0'; name += std::wcslen(name) + 1) {
        names.emplace_back(name);
    }
    return names;
}

std::wstring dependencyText(const std::vector<std::wstring>& names)
{
    if (names.empty()) {
        return L"(none)";
    }
    std::wstring text;
    for (const std::wstring& name : names) {
        text += text.empty() ? name : L", " + name;
    }
    return text;
}

std::vector<std::wstring> registeredDependencies(HKEY serviceKey)
{
    std::vector<std::wstring> names =
        dependencyNames(registryValue(serviceKey, L"DependOnService", RRF_RT_REG_MULTI_SZ).c_str());
    for (const std::wstring& group :
         dependencyNames(registryValue(serviceKey, L"DependOnGroup", RRF_RT_REG_MULTI_SZ).c_str())) {
        names.push_back(SC_GROUP_IDENTIFIERW + group);
    }
    return names;
}
