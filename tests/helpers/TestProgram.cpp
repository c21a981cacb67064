// A program for the tests to supervise. Its arguments are steps run in order:
//   lines N            write N numbered lines of 100 bytes, one write each
//   text T             write T and a line feed
//   err T              write T and a line feed to standard error
//   hex HH...          write raw bytes
//   long-line N        write N 'x' without a line feed
//   binary N           write N bytes of noise
//   env NAME           write NAME=<value>, or NAME is not set
//   sleep MS           sleep
//   wait-file PATH     wait until the file exists
//   touch PATH         create the file
//   exists PATH        write "PATH exists" or "PATH is missing"
//   write-pid PATH     write the own process id into the file
//   grandchild PATH    start "sleep 600000" as a child, write its id into the file
//   console-cp N       set the console's output code page
//   pid-state PID      write "alive" or "gone" for the process
//   ignore-ctrl        ignore console control events
//   stamps N           write N lines "stamp T" 10 ms apart, T the local time in 100 ns since 1601
//   exit-on-ctrl       on a console control event write "console event N" and end with 0
//   close-stdout       close standard output
//   crash              access violation
//   exit N             end with exit code N
//   serve-http PORT P  serve HTTP on 127.0.0.1:PORT for good: 200, 503 while the file P.503
//                      exists, 302 to /moved (which answers 200) while P.302 exists, no answer
//                      while P.hang exists, the answer after the number of milliseconds P.slow
//                      holds; each request creates P.asked
//   placement          write "priority class 0xC affinity mask 0xM" of the own process
//   commit N           commit N MB and write to each page of it
#include <winsock2.h>
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

void writeTo(DWORD stream, const std::string& bytes)
{
    DWORD written = 0;
    WriteFile(GetStdHandle(stream), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void writeOut(const std::string& bytes) { writeTo(STD_OUTPUT_HANDLE, bytes); }

std::string utf8Line(const std::wstring& text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &bytes[0], size, nullptr, nullptr);
    bytes.back() = '\n';
    return bytes;
}

// Written beside and renamed, so that a reader (or a stop the file's
// appearance triggers) never finds the file empty.
void writeNumber(const wchar_t* path, unsigned long number)
{
    const std::wstring partial = std::wstring(path) + L".partial";
    HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    const std::string text = std::to_string(number);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    MoveFileExW(partial.c_str(), path, MOVEFILE_REPLACE_EXISTING);
}

void writeStamps(unsigned long count)
{
    for (unsigned long i = 0; i < count; ++i) {
        FILETIME utc;
        FILETIME local;
        GetSystemTimeAsFileTime(&utc);
        FileTimeToLocalFileTime(&utc, &local);
        const unsigned long long ticks = (static_cast<unsigned long long>(local.dwHighDateTime) << 32) | local.dwLowDateTime;
        writeOut("stamp " + std::to_string(ticks) + "\n");
        Sleep(10);
    }
}

BOOL WINAPI exitGently(DWORD controlType)
{
    writeOut("console event " + std::to_string(controlType) + "\n");
    ExitProcess(0);
}

std::string hexBytes(const wchar_t* hex)
{
    std::string bytes;
    for (size_t i = 0; hex[i] != 0 && hex[i + 1] != 0; i += 2) {
        const wchar_t pair[3] = {hex[i], hex[i + 1], 0};
        bytes.push_back(static_cast<char>(wcstoul(pair, nullptr, 16)));
    }
    return bytes;
}

void startGrandchild(const wchar_t* pidFile)
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(self) + L"\" sleep 600000";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        writeNumber(pidFile, process.dwProcessId);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
}

}  // namespace

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The number a file holds; 0 when there is none.
DWORD readNumber(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return 0;
    }
    char text[16] = {};
    DWORD read = 0;
    ReadFile(file, text, sizeof text - 1, &read, nullptr);
    CloseHandle(file);
    return strtoul(text, nullptr, 10);
}

void serveHttp(const wchar_t* port, const std::wstring& control)
{
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(wcstoul(port, nullptr, 10)));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener, 16) != 0) {
        writeOut("cannot listen\n");
        ExitProcess(3);
    }
    writeOut("serving\n");
    std::vector<SOCKET> unanswered;
    for (;;) {
        const SOCKET client = accept(listener, nullptr, nullptr);
        if (client == INVALID_SOCKET) {
            continue;
        }
        char request[4096];
        // A connection that sends nothing is a port probe, no request.
        const int received = recv(client, request, sizeof request, 0);
        const bool asked = received > 0;
        const bool moved = asked && std::string(request, static_cast<size_t>(received)).rfind("GET /moved ", 0) == 0;
        if (asked) {
            writeNumber((control + L".asked").c_str(), GetCurrentProcessId());
        }
        if (exists(control + L".hang")) {
            unanswered.push_back(client);
            continue;
        }
        if (asked) {
            Sleep(readNumber(control + L".slow"));
        }
        std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";
        if (exists(control + L".503")) {
            answer = "HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
        } else if (exists(control + L".302") && !moved) {
            answer = "HTTP/1.1 302 Found\r\nLocation: /moved\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
        }
        send(client, answer.data(), static_cast<int>(answer.size()), 0);
        shutdown(client, SD_SEND);
        closesocket(client);
    }
}

int wmain(int argc, wchar_t* argv[])
{
    for (int i = 1; i < argc; ++i) {
        const std::wstring step = argv[i];
        const wchar_t* value = i + 1 < argc ? argv[i + 1] : L"";
        if (step == L"lines") {
            const long count = wcstol(value, nullptr, 10);
            for (long n = 1; n <= count; ++n) {
                char line[128];
                snprintf(line, sizeof line, "line %08ld %s\n", n, std::string(85, 'x').c_str());
                writeOut(line);
            }
        } else if (step == L"text") {
            writeOut(utf8Line(value));
        } else if (step == L"err") {
            writeTo(STD_ERROR_HANDLE, utf8Line(value));
        } else if (step == L"exists") {
            writeOut(utf8Line(std::wstring(value) + (exists(value) ? L" exists" : L" is missing")));
        } else if (step == L"hex") {
            writeOut(hexBytes(value));
        } else if (step == L"long-line") {
            writeOut(std::string(static_cast<size_t>(wcstol(value, nullptr, 10)), 'x'));
        } else if (step == L"binary") {
            std::string noise(static_cast<size_t>(wcstol(value, nullptr, 10)), '\0');
            unsigned seed = 12345;
            for (char& c : noise) {
                seed = seed * 1103515245 + 12345;
                c = static_cast<char>(seed >> 16);
            }
            writeOut(noise);
        } else if (step == L"env") {
            wchar_t buffer[32768] = {};
            const DWORD length = GetEnvironmentVariableW(value, buffer, 32768);
            const std::wstring line = length > 0 ? std::wstring(value) + L"=" + buffer : std::wstring(value) + L" is not set";
            writeOut(utf8Line(line));
        } else if (step == L"sleep") {
            Sleep(static_cast<DWORD>(wcstoul(value, nullptr, 10)));
        } else if (step == L"wait-file") {
            while (GetFileAttributesW(value) == INVALID_FILE_ATTRIBUTES) {
                Sleep(20);
            }
        } else if (step == L"touch") {
            writeNumber(value, GetCurrentProcessId());
        } else if (step == L"write-pid") {
            writeNumber(value, GetCurrentProcessId());
        } else if (step == L"grandchild") {
            startGrandchild(value);
        } else if (step == L"console-cp") {
            SetConsoleOutputCP(static_cast<UINT>(wcstoul(value, nullptr, 10)));
        } else if (step == L"show-cp") {
            writeOut("console output code page " + std::to_string(GetConsoleOutputCP()) + "\n");
            --i;
        } else if (step == L"pid-state") {
            HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, wcstoul(value, nullptr, 10));
            const bool alive = process != nullptr && WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
            writeOut(alive ? "alive\n" : "gone\n");
            if (process != nullptr) {
                CloseHandle(process);
            }
        } else if (step == L"stamps") {
            writeStamps(wcstoul(value, nullptr, 10));
        } else if (step == L"exit-on-ctrl") {
            SetConsoleCtrlHandler(exitGently, TRUE);
            --i;
        } else if (step == L"ignore-ctrl") {
            SetConsoleCtrlHandler(nullptr, TRUE);
            --i;
        } else if (step == L"close-stdout") {
            CloseHandle(GetStdHandle(STD_OUTPUT_HANDLE));
            CloseHandle(GetStdHandle(STD_ERROR_HANDLE));
            --i;
        } else if (step == L"crash") {
            *static_cast<volatile int*>(nullptr) = 1;
        } else if (step == L"serve-http") {
            serveHttp(value, i + 2 < argc ? argv[i + 2] : L"");
        } else if (step == L"placement") {
            DWORD_PTR mask = 0;
            DWORD_PTR system = 0;
            GetProcessAffinityMask(GetCurrentProcess(), &mask, &system);
            char line[128];
            snprintf(line, sizeof line, "priority class 0x%lx affinity mask 0x%llx\n",
                     static_cast<unsigned long>(GetPriorityClass(GetCurrentProcess())),
                     static_cast<unsigned long long>(mask));
            writeOut(line);
            --i;
        } else if (step == L"commit") {
            const SIZE_T size = static_cast<SIZE_T>(wcstoul(value, nullptr, 10)) << 20;
            char* memory = static_cast<char*>(VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
            for (SIZE_T offset = 0; memory != nullptr && offset < size; offset += 4096) {
                memory[offset] = 1;
            }
            writeOut(memory != nullptr ? "committed\n" : "cannot commit\n");
        } else if (step == L"exit") {
            return static_cast<int>(wcstol(value, nullptr, 10));
        } else {
            --i;
        }
        ++i;
    }
    return 0;
}
