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

std::vector<std::wstring> splitWords(const std::wstring& text)
{
    std::vector<std::wstring> words;
    size_t at = 0;
    for (;;) {
        while (at < text.size() && iswspace(text[at])) {
            ++at;
        }
        if (at == text.size()) {
            return words;
        }
        const size_t begin = at;
        while (at < text.size() && !iswspace(text[at])) {
            ++at;
        }
        words.push_back(text.substr(begin, at - begin));
    }
}
