#pragma once

#include <cstdarg>
#include <string>
#include <type_traits>

// printf-style formatting with the Windows rules for wide formats: %s takes a
// wide string, %d an int, %ld a long.
std::wstring formatTextV(const wchar_t* format, va_list args);
std::wstring formatText(const wchar_t* format, ...);

namespace format_detail {
inline const wchar_t* pass(const std::wstring& text) { return text.c_str(); }
inline const wchar_t* pass(const wchar_t* text) { return text; }
template <typename T>
T pass(T value)
{
    static_assert(std::is_arithmetic<T>::value || std::is_pointer<T>::value,
                  "only numbers, pointers and wide strings can be formatted");
    return value;
}
}  // namespace format_detail

// Type-checked front end: std::wstring arguments are passed as C strings, so a
// string object can never reach the variadic formatter by mistake.
template <typename... Args>
std::wstring format(const wchar_t* format, const Args&... args)
{
    return formatText(format, format_detail::pass(args)...);
}
