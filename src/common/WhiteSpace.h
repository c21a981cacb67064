#pragma once

#include <string>

// White space as iswspace defines it.
std::wstring trimWhiteSpace(const std::wstring& text);
std::wstring trimTrailingWhiteSpace(const std::wstring& text);
