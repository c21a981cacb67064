#pragma once

#include <windows.h>

#include "common/InterruptHolder.h"
#include "common/UniqueResource.h"
#include "process/OutputDecoder.h"

class PipeReaderCallback;

// Reads a child's output pipe on a thread of its own and hands every line to
// the callback. The thread sleeps in ReadFile until output comes, so an idle
// program costs nothing.
class PipeReader : public InterruptHolder {
public:
    PipeReader(HANDLE pipe, OutputEncoding encoding, PipeReaderCallback* callback);
    ~PipeReader() override;
    PipeReader(const PipeReader&) = delete;
    PipeReader& operator=(const PipeReader&) = delete;

    // Reads what the pipe still holds, passes on a last line without line
    // feed, and waits until the thread has ended. A read that processes the
    // child started keep open is cancelled.
    void stop();

private:
    static DWORD WINAPI threadMain(LPVOID parameter);
    DWORD run();
    // Reads one chunk, waiting for it: 1 read, 0 cancelled, -1 the end, -2 a failure.
    int readBlocking(char* buffer, DWORD capacity);
    // Reads one chunk if any is available: 1 read, 0 nothing there, -1 the end, -2 a failure.
    int readAvailable(char* buffer, DWORD capacity);
    int readFailure(DWORD error);
    void deliver(const char* buffer, DWORD size);
    void finish();

    PipeReaderCallback* callback_;
    HANDLE pipe_;
    UniqueHandle thread_;
    DWORD threadId_ = 0;
    OutputDecoder decoder_;
};
