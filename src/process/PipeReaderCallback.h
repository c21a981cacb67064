#pragma once

#include <string>

// Receives the output of a child one line at a time, on the reader's thread.
class PipeReaderCallback {
public:
    virtual ~PipeReaderCallback() = default;
    virtual void onLine(const std::wstring& line) = 0;
};
