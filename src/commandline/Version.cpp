#include "commandline/Version.h"

#include <windows.h>

std::wstring versionText()
{
    const wchar_t* resource = nullptr;
    // A buffer size of 0 yields a read-only pointer into the resource itself.
    const int length = LoadStringW(GetModuleHandleW(nullptr), VERSION_RESOURCE_ID,
                                   reinterpret_cast<LPWSTR>(&resource), 0);
    return length > 0 ? std::wstring(resource, static_cast<size_t>(length)) : std::wstring();
}

std::wstring bannerText() { return L"Corvane Hostwell v" + versionText(); }
