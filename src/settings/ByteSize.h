#pragma once

#include <string>

// A size from the settings: a whole number and KB, MB or GB (any letter
// case), from `smallest` to `largest` bytes. Returns the empty text, or what
// is wrong with it for a message, such as "has no unit".
std::wstring parseByteSize(const std::wstring& written, long long smallest, long long largest, long long& bytes);

// The size in the largest unit that writes it whole: 64KB, 10MB, 4GB.
std::wstring formatByteSize(long long bytes);
