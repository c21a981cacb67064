#pragma once

#include <string>

// Writes one line and a CR LF to standard output: as Unicode to a console,
// as UTF-8 to a file or pipe.
void writeStandardOutputLine(const std::wstring& text);
