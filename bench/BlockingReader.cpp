// The baseline of the output capture benchmark: the simplest way to capture a
// program's output. It starts the program on a pipe, reads it with blocking
// ReadFile and writes every line to a file with a flush per line.
//
//   BlockingReader.exe <output file> <program> [arguments]
#include <windows.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "common/UniqueResource.h"

namespace {

// The same pipe size as Hostwell's, so that only the way of reading differs.
const DWORD PIPE_SIZE = 1024 * 1024;
const DWORD CHUNK_SIZE = 65536;

std::wstring quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

}  // namespace

int wmain(int argc, wchar_t* argv[])
{
    if (argc < 3) {
        fwprintf(stderr, L"usage: BlockingReader.exe <output file> <program> [arguments]\n");
        return 2;
    }
    FILE* output = nullptr;
    if (_wfopen_s(&output, argv[1], L"wb") != 0) {
        fwprintf(stderr, L"cannot create the output file\n");
        return 1;
    }
    std::wstring commandLine = quoted(argv[2]);
    for (int i = 3; i < argc; ++i) {
        commandLine += L" " + std::wstring(argv[i]);
    }

    UniqueHandle readEnd;
    UniqueHandle writeEnd;
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    if (!CreatePipe(readEnd.put(), writeEnd.put(), &inheritable, PIPE_SIZE)) {
        fwprintf(stderr, L"CreatePipe failed: %lu\n", GetLastError());
        return 1;
    }
    SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = writeEnd.get();
    startup.hStdError = writeEnd.get();
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        fwprintf(stderr, L"CreateProcess failed: %lu\n", GetLastError());
        return 1;
    }
    UniqueHandle child(process.hProcess);
    UniqueHandle thread(process.hThread);
    // Only the child holds the write end now, so its end is our end-of-file.
    writeEnd.reset();

    std::vector<char> chunk(CHUNK_SIZE);
    std::string pending;
    DWORD read = 0;
    while (ReadFile(readEnd.get(), chunk.data(), CHUNK_SIZE, &read, nullptr) && read > 0) {
        pending.append(chunk.data(), read);
        size_t start = 0;
        for (size_t end = pending.find('\n'); end != std::string::npos; end = pending.find('\n', start)) {
            fwrite(pending.data() + start, 1, end + 1 - start, output);
            fflush(output);
            start = end + 1;
        }
        pending.erase(0, start);
    }
    if (!pending.empty()) {
        fwrite(pending.data(), 1, pending.size(), output);
    }
    fclose(output);
    WaitForSingleObject(child.get(), INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(child.get(), &code);
    return static_cast<int>(code);
}
