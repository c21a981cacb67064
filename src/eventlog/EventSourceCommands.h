#pragma once

#include <string>

#include "common/Command.h"

// The registration of the source a service's records are written under, so
// that Event Viewer finds their text in the message table of Hostwell.exe.
// Neither is needed for the service to run: a failure is a warning and
// execute() then returns 1.

class AddEventSourceCommand : public Command {
public:
    explicit AddEventSourceCommand(const std::wstring& serviceName);
    int execute() override;

private:
    std::wstring source_;
};

class RemoveEventSourceCommand : public Command {
public:
    explicit RemoveEventSourceCommand(const std::wstring& serviceName);
    // A source that is not registered counts as removed.
    int execute() override;

private:
    std::wstring source_;
};

// The registry key under HKEY_LOCAL_MACHINE that registers a source.
std::wstring eventSourceKeyPath(const std::wstring& source);
