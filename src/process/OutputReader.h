#pragma once

#include <windows.h>

#include <vector>

#include "common/UniqueResource.h"
#include "process/OutputDecoder.h"

class PipeReaderCallback;

// What a finished read of the output pipe means.
enum class ReadResult {
    Data,       // bytes to pass on
    Nothing,    // the program wrote zero bytes: read again
    End,        // every process that could write has closed the pipe
    Cancelled,  // our own cancel
    Failed,
};

// `completed`, `bytes` and `error` as ReadFile or GetOverlappedResult gave
// them (the error only when not completed).
ReadResult readResult(bool completed, DWORD bytes, DWORD error);

// How much the drain after the child's end may still read: a grandchild that
// keeps writing into the inherited pipe, even zero bytes at a time, must not
// keep the run alive.
class DrainBound {
public:
    static constexpr size_t MAX_BYTES = 64 * 1024 * 1024;
    static constexpr size_t MAX_READS = 65536;

    bool allowsMore() const { return bytes_ < MAX_BYTES && reads_ < MAX_READS; }
    void count(DWORD bytes)
    {
        bytes_ += bytes;
        ++reads_;
    }

private:
    size_t bytes_ = 0;
    size_t reads_ = 0;
};

// Reads a child's output with overlapped reads of the pipe's read end and
// hands every line to the callback. It has no thread of its own: the thread
// that supervises the child waits for event() beside the child's end and the
// stop request, so an idle program costs nothing.
class OutputReader {
public:
    // The code page of the console is taken once: it changes while the
    // wrapper is attached to the program's console to send it an event.
    OutputReader(HANDLE pipe, OutputEncoding encoding, PipeReaderCallback* callback);
    // Cancels a read under way: its buffer must outlive it.
    ~OutputReader();
    OutputReader(const OutputReader&) = delete;
    OutputReader& operator=(const OutputReader&) = delete;

    // False once the output has ended or failed; its event is then not to be waited for.
    bool isReading() const { return reading_; }
    HANDLE event() const { return event_.get(); }

    void start();
    // Called when event() is set: passes the read's bytes on and starts the
    // next read. Returns the bytes passed on.
    DWORD onReadCompleted();
    // After the child's end: passes on what the pipe still holds, within a
    // bound, and a last line without line feed. A read that then waits is
    // cancelled: processes the child started may keep the pipe open.
    void drain();

private:
    void beginRead();
    // Returns the bytes passed on.
    DWORD conclude(ReadResult result, DWORD bytes, DWORD error);
    // Waits for a pending read to be over; returns the bytes it read.
    DWORD cancel();
    void finish();

    HANDLE pipe_;
    PipeReaderCallback* callback_;
    unsigned int codePage_;
    OutputDecoder decoder_;
    UniqueHandle event_;
    OVERLAPPED overlapped_ = {};
    std::vector<char> buffer_;
    bool pending_ = false;
    bool reading_ = false;
};
