#pragma once

#include <windows.h>

#include "common/InterruptHolder.h"
#include "common/UniqueResource.h"
#include "process/OutputDecoder.h"

class PipeReaderCallback;

// Reads a child's output pipe on a thread of its own and hands every line to
// the callback. It polls: at once while output keeps coming, then less and
// less often, every 100 ms for an idle pipe.
class PipeReader : public InterruptHolder {
public:
    PipeReader(HANDLE pipe, PipeReaderCallback* callback);
    ~PipeReader() override;
    PipeReader(const PipeReader&) = delete;
    PipeReader& operator=(const PipeReader&) = delete;

    // Reads what the pipe still holds, passes on a last line without line
    // feed, and waits until the thread has ended.
    void stop();

private:
    static DWORD WINAPI threadMain(LPVOID parameter);
    DWORD run();
    // Reads one chunk if any is available: 1 read, 0 nothing there, -1 the end.
    int readAvailable(char* buffer, DWORD capacity);
    void finish();

    PipeReaderCallback* callback_;
    HANDLE pipe_;
    UniqueHandle thread_;
    DWORD threadId_ = 0;
    OutputDecoder decoder_;
};
