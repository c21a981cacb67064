#pragma once

#include <string>
#include <vector>

// White space as iswspace defines it.
std::wstring trimWhiteSpace(const std::wstring& text);
std::wstring trimTrailingWhiteSpace(const std::wstring& text);
// The words of `text` between runs of white space.
std::vector<std::wstring> splitWords(const std::wstring& text);
