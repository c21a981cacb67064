#pragma once

#include <string>

// Receives the output of a child one line at a time, on the thread that reads it.
class PipeReaderCallback {
public:
    virtual ~PipeReaderCallback() = default;
    virtual void onLine(const std::wstring& line) = 0;
    // A piece of a line too long to wait for its end; the rest follows.
    virtual void onPiece(const std::wstring& piece) { onLine(piece); }
};
