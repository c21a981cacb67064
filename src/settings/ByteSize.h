#pragma once

#include <string>

#include "settings/XmlText.h"

// A size from the settings: a whole number and KB, MB or GB (any letter
// case), from `smallest` to `largest` bytes. Returns the empty text, or what
// is wrong with it for a message, such as "has no unit".
std::wstring parseByteSize(const std::wstring& written, long long smallest, long long largest, long long& bytes);

// The size in the largest unit that writes it whole: 64KB, 10MB, 4GB.
std::wstring formatByteSize(long long bytes);

// Reads the size in the attribute `name` of `element` (at `path`) into
// `bytes`; a missing attribute leaves it. Returns the empty text, or the
// message that names the value, the bounds and `example`.
std::wstring readByteSize(const XmlNode& element, const wchar_t* name, const wchar_t* path, long long smallest,
                          long long largest, const wchar_t* example, long long& bytes);
