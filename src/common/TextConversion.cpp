#include "common/TextConversion.h"

#include <windows.h>

std::string toUtf8(const std::wstring& text)
{
    if (text.empty()) {
        return std::string();
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size,
                            nullptr, nullptr);
    }
    return bytes;
}

std::wstring fromCodePage(unsigned int codePage, const std::string& text)
{
    if (text.empty()) {
        return std::wstring();
    }
    const int size =
        MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0) {
        MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &wide[0], size);
    }
    return wide;
}

std::wstring fromUtf8(const std::string& text) { return fromCodePage(CP_UTF8, text); }

std::wstring lowerCaseAscii(const std::wstring& text)
{
    std::wstring lowered = text;
    for (wchar_t& c : lowered) {
        if (c >= L'A' && c <= L'Z') {
            c = static_cast<wchar_t>(c - L'A' + L'a');
        }
    }
    return lowered;
}
