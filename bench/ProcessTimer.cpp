// Times a program from its start to its end on the QueryPerformanceCounter
// clock, with its standard output and error going to a file, and prints
//   elapsed_ms=<milliseconds>
//   exit_code=<code>
//
//   ProcessTimer.exe <output file> <program> [arguments]
#include <windows.h>

#include <stdio.h>

#include <string>

#include "common/UniqueResource.h"

namespace {

double millisecondsSince(const LARGE_INTEGER& start)
{
    LARGE_INTEGER now;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int wmain(int argc, wchar_t* argv[])
{
    if (argc < 3) {
        fwprintf(stderr, L"usage: ProcessTimer.exe <output file> <program> [arguments]\n");
        return 2;
    }
    std::wstring commandLine = L"\"" + std::wstring(argv[2]) + L"\"";
    for (int i = 3; i < argc; ++i) {
        commandLine += L" " + std::wstring(argv[i]);
    }
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    UniqueHandle output(CreateFileW(argv[1], GENERIC_WRITE, FILE_SHARE_READ, &inheritable, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    UniqueHandle input(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                   OPEN_EXISTING, 0, nullptr));
    if (!output || !input) {
        fwprintf(stderr, L"cannot open the output file or NUL: %lu\n", GetLastError());
        return 1;
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input.get();
    startup.hStdOutput = output.get();
    startup.hStdError = output.get();
    PROCESS_INFORMATION process = {};

    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        fwprintf(stderr, L"CreateProcess failed: %lu\n", GetLastError());
        return 1;
    }
    UniqueHandle child(process.hProcess);
    UniqueHandle thread(process.hThread);
    WaitForSingleObject(child.get(), INFINITE);
    const double elapsed = millisecondsSince(start);

    DWORD code = 0;
    GetExitCodeProcess(child.get(), &code);
    printf("elapsed_ms=%.3f\nexit_code=%lu\n", elapsed, code);
    return 0;
}
