#include "common/Format.h"

#include <stdio.h>
#include <wchar.h>

std::wstring formatTextV(const wchar_t* format, va_list args)
{
    va_list counting;
    va_copy(counting, args);
    const int length = _vscwprintf(format, counting);
    va_end(counting);
    if (length <= 0) {
        return std::wstring();
    }
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int written = _vsnwprintf_s(&text[0], text.size(), _TRUNCATE, format, args);
    text.resize(written < 0 ? 0 : static_cast<size_t>(written));
    return text;
}

std::wstring formatText(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    std::wstring text = formatTextV(format, args);
    va_end(args);
    return text;
}
