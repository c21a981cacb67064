#include "logging/StandardOutput.h"

#include <windows.h>

#include "common/TextConversion.h"

namespace {

struct StandardOutput {
    HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
    bool console = isConsole(handle);

    static bool isConsole(HANDLE handle)
    {
        DWORD mode = 0;
        return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
    }
};

}  // namespace

void writeStandardOutputLine(const std::wstring& text)
{
    static const StandardOutput output;
    if (output.handle == nullptr || output.handle == INVALID_HANDLE_VALUE) {
        return;
    }
    const std::wstring line = text + L"\r\n";
    DWORD written = 0;
    if (output.console) {
        WriteConsoleW(output.handle, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        return;
    }
    const std::string bytes = toUtf8(line);
    WriteFile(output.handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}
