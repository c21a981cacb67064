#include "logging/StandardOutput.h"

#include <windows.h>

#include <atomic>

#include "common/TextConversion.h"

namespace {

struct StandardStream {
    HANDLE handle;
    bool console;

    explicit StandardStream(DWORD which) : handle(GetStdHandle(which)), console(isConsole(handle)) {}

    static bool isConsole(HANDLE handle)
    {
        DWORD mode = 0;
        return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
    }
};

std::atomic<bool> linesToStandardError{false};

void writeText(const StandardStream& stream, const std::wstring& text)
{
    if (stream.handle == nullptr || stream.handle == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    if (stream.console) {
        WriteConsoleW(stream.handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    const std::string bytes = toUtf8(text);
    WriteFile(stream.handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

const StandardStream& standardOutput()
{
    static const StandardStream stream(STD_OUTPUT_HANDLE);
    return stream;
}

const StandardStream& standardError()
{
    static const StandardStream stream(STD_ERROR_HANDLE);
    return stream;
}

}  // namespace

void writeStandardOutputLine(const std::wstring& text)
{
    writeText(linesToStandardError ? standardError() : standardOutput(), text + L"\r\n");
}

void sendLinesToStandardError() { linesToStandardError = true; }

void writeStandardOutputData(const std::wstring& text) { writeText(standardOutput(), text); }
