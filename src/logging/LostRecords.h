#pragma once

#include <windows.h>

#include <string>

// Records (or the program's lines) that could not be written to a log file
// since the last report, and the reason of the first of them.
struct LostRecords {
    int count = 0;
    DWORD reason = ERROR_SUCCESS;

    void add(DWORD error)
    {
        if (count == 0) {
            reason = error;
        }
        ++count;
    }
};

// "12 log records were lost in C:\svc\logs\service.log: <reason>", or of lines
// of program output.
std::wstring lostRecordsText(bool programOutput, const LostRecords& lost, const std::wstring& file);

// The one place that tells the log's outputs of a loss (the Event Log among
// them, which also hears it when the file is what cannot take it).
void reportLostRecords(bool programOutput, const LostRecords& lost, const std::wstring& file);
