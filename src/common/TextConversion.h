#pragma once

#include <string>

std::string toUtf8(const std::wstring& text);
std::wstring fromUtf8(const std::string& text);
std::wstring fromCodePage(unsigned int codePage, const std::string& text);

// Folds the ASCII letters A-Z only, as the C locale does.
std::wstring lowerCaseAscii(const std::wstring& text);
