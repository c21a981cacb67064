#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

struct ProcessOptions {
    std::wstring workDir;
    DWORD timeoutMs = 60000;
    // Variables set (or, with an empty value, removed) for the child only.
    std::vector<std::pair<std::wstring, std::wstring>> environment;
    // When given, standard error goes to this file and the output is standard output's alone.
    std::wstring errorFile;
};

struct ProcessResult {
    bool finished = false;  // false when the process was killed after the timeout
    DWORD exitCode = 0;
    std::string rawOutput;  // standard output and error, as bytes

    std::wstring output() const;               // decoded as UTF-8
    std::vector<std::wstring> lines() const;   // split at LF, CR removed
    bool hasLine(const std::wstring& line) const;
    bool contains(const std::wstring& text) const;
};

std::wstring quoteArgument(const std::wstring& argument);
std::wstring buildCommandLine(const std::wstring& program, const std::vector<std::wstring>& arguments);

ProcessResult runProcess(const std::wstring& program, const std::vector<std::wstring>& arguments,
                         const ProcessOptions& options = ProcessOptions());

// Folder of the running test program; Hostwell.exe and the helpers lie beside it.
std::wstring binDirectory();
std::wstring hostwellPath();
std::wstring helperPath(const std::wstring& name);

ProcessResult runHostwell(const std::vector<std::wstring>& arguments,
                          const ProcessOptions& options = ProcessOptions());
