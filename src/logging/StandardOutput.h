#pragma once

#include <string>

// Writes one line and a CR LF to standard output: as Unicode to a console,
// as UTF-8 to a file or pipe.
void writeStandardOutputLine(const std::wstring& text);

// From now on the lines go to standard error, so that standard output holds
// only what writeStandardOutputData writes, for a program to parse.
void sendLinesToStandardError();

// Writes the text to standard output as it is, in the same encodings.
void writeStandardOutputData(const std::wstring& text);
