#include "install/RegistryValue.h"

std::wstring registryValue(HKEY key, const wchar_t* name, DWORD types)
{
    DWORD size = 0;
    if (RegGetValueW(key, nullptr, name, types, nullptr, nullptr, &size) != ERROR_SUCCESS) {
        return std::wstring();
    }
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (RegGetValueW(key, nullptr, name, types, nullptr, &value[0], &size) != ERROR_SUCCESS) {
        return std::wstring();
    }
    return value;
}
