#include "commandline/Version.h"

#include <windows.h>

std::wstring versionText()
{
    // Read from the string table directly: LoadStringW would bring in
    // user32.dll, and with it a windowing stack the program never uses.
    // Strings are stored in blocks of 16, each entry its length then its text.
    const HMODULE module = GetModuleHandleW(nullptr);
    const HRSRC block = FindResourceW(module, MAKEINTRESOURCEW(VERSION_RESOURCE_ID / 16 + 1), RT_STRING);
    const HGLOBAL loaded = block == nullptr ? nullptr : LoadResource(module, block);
    const auto* entry = static_cast<const wchar_t*>(loaded == nullptr ? nullptr : LockResource(loaded));
    if (entry == nullptr) {
        return std::wstring();
    }
    for (int index = 0; index < VERSION_RESOURCE_ID % 16; ++index) {
        entry += 1 + static_cast<size_t>(*entry);
    }
    return std::wstring(entry + 1, static_cast<size_t>(*entry));
}

std::wstring bannerText() { return L"Corvane Hostwell v" + versionText(); }
