#pragma once

#include <string>

// UTF-16LE, as .NET names it: no code page for MultiByteToWideChar, read as it is.
constexpr unsigned int CODE_PAGE_UTF16 = 1200;

// How the bytes a program writes become text: in one code page, or
// (automatic) each line as UTF-8 when it is valid UTF-8 and otherwise in the
// console output code page, so that programs of both kinds read right.
class OutputEncoding {
public:
    static OutputEncoding automatic() { return OutputEncoding(true, 0); }
    static OutputEncoding fixed(unsigned int codePage) { return OutputEncoding(false, codePage); }

    bool isAutomatic() const { return automatic_; }
    // The code page of a fixed encoding.
    unsigned int codePage() const { return codePage_; }

private:
    OutputEncoding(bool automatic, unsigned int codePage) : automatic_(automatic), codePage_(codePage) {}

    bool automatic_;
    unsigned int codePage_;
};

// Reads auto, utf-8, utf-16, ansi, oem or the number of a code page installed here.
// Logs why a value is refused and returns false.
bool parseOutputEncoding(const std::wstring& value, OutputEncoding& encoding);
