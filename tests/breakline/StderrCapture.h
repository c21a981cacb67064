#pragma once

#include <string>

// Sends the C runtime's standard error (descriptor 2) to a temporary file for
// the lifetime of the object. The library's DLL uses the same msvcrt.dll as
// the test, so its lines land there too.
class StderrCapture {
public:
    StderrCapture();
    ~StderrCapture();
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    // Everything written so far, byte for byte.
    std::string text() const;

private:
    std::wstring path_;
    int savedDescriptor_;
};
