// A small stand-in for a real server, for trying Hostwell out: it announces
// that it has started, writes a line every second, and shuts down cleanly when
// "ExampleServer.exe --stop" (the stop command) asks it to.
#include <windows.h>

#include <stdio.h>

#include <cstring>

namespace {

const wchar_t* STOP_FILE = L"example-server.stop";

int requestStop()
{
    HANDLE file = CreateFileW(STOP_FILE, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        printf("Could not ask the server to stop (error %lu)\n", GetLastError());
        return 1;
    }
    CloseHandle(file);
    printf("Asked the example server to stop\n");
    return 0;
}

int serve()
{
    DeleteFileW(STOP_FILE);
    printf("Example server starting, process %lu\n", GetCurrentProcessId());
    printf("Server started\n");
    fflush(stdout);
    for (unsigned long tick = 1;; ++tick) {
        Sleep(1000);
        if (GetFileAttributesW(STOP_FILE) != INVALID_FILE_ATTRIBUTES) {
            DeleteFileW(STOP_FILE);
            printf("Stop requested, shutting down after %lu seconds\n", tick);
            return 0;
        }
        printf("Serving, tick %lu\n", tick);
        // Output to a pipe is buffered: flush so that every line reaches the log at once.
        fflush(stdout);
    }
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc > 1 && std::strcmp(argv[1], "--stop") == 0) {
        return requestStop();
    }
    return serve();
}
