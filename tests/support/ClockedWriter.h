#pragma once

#include <windows.h>

// The writer's clocks, moved on by the test instead of waiting, and its
// writes, made to fail with `failWith`.
template <typename Writer>
class ClockedWriter : public Writer {
public:
    using Writer::Writer;
    unsigned long long now = 0;
    SYSTEMTIME today = {2026, 12, 1, 7, 10, 0, 0, 0};
    DWORD failWith = ERROR_SUCCESS;

protected:
    unsigned long long tickCount() const override { return now; }
    SYSTEMTIME localTime() const override { return today; }
    BOOL writeFile(HANDLE file, const char* data, DWORD size, DWORD* written) override
    {
        if (failWith != ERROR_SUCCESS) {
            SetLastError(failWith);
            return FALSE;
        }
        return Writer::writeFile(file, data, size, written);
    }
};
