#pragma once

#include <string>
#include <vector>

#include "logging/CriticalSection.h"
#include "process/PipeReaderCallback.h"

// Keeps every line of a program's output, for the test to read while or after it runs.
class CollectingCallback : public PipeReaderCallback {
public:
    void onLine(const std::wstring& line) override
    {
        ScopedLock guard(lock_);
        lines_.push_back(line);
    }
    std::vector<std::wstring> lines()
    {
        ScopedLock guard(lock_);
        return lines_;
    }

private:
    CriticalSection lock_;
    std::vector<std::wstring> lines_;
};
