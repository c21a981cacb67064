#include "common/WhiteSpace.h"

#include <wctype.h>

std::wstring trimTrailingWhiteSpace(const std::wstring& text)
{
    size_t end = text.size();
    while (end > 0 && iswspace(text[end - 1])) {
        --end;
    }
    return text.substr(0, end);
}

std::wstring trimWhiteSpace(const std::wstring& text)
{
    size_t begin = 0;
    while (begin < text.size() && iswspace(text[begin])) {
        ++begin;
    }
    return trimTrailingWhiteSpace(text.substr(begin));
}
