#pragma once

#include <windows.h>

#include <optional>
#include <string>

// What the service's program is doing, kept in a small file beside the
// service log so that status can show it, also once the service has stopped.
// The file is written whole: a temporary file renamed over the old one.
class ProgramState {
public:
    // "<log file>.state.json"; empty without a log file.
    static std::wstring fileBeside(const std::wstring& logFile);
    // The state a service wrote; nothing when there is no such file or it
    // cannot be read.
    static std::optional<ProgramState> read(const std::wstring& file);

    // Keeps no file when `file` is empty.
    explicit ProgramState(std::wstring file) : file_(std::move(file)) {}

    void started(DWORD processId);
    void ended(DWORD exitCode);
    // `restarts` counts the restarts of the current series.
    void restarting(unsigned restarts);
    // What the health check says: healthy, failing or unhealthy; saved when it changes.
    void healthChanged(const std::wstring& health);

    // The JSON object: processId, startedAt (ISO 8601 UTC), restarts,
    // lastExitCode and health, null where there is nothing to say.
    std::wstring json() const;
    // "program process id 5120, started 2026-12-07 14:03:08, 2 restarts, last exit code 3"
    std::wstring text() const;

private:
    void save();

    std::wstring file_;
    std::optional<DWORD> processId_;  // while the program runs
    std::wstring startedAt_;
    unsigned restarts_ = 0;
    std::optional<DWORD> lastExitCode_;
    // What the program's health check last said; null until there is one.
    std::optional<std::wstring> health_;
    bool saveFailed_ = false;
};
