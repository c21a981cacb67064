#pragma once

#include <windows.h>

#include <string>

// One state the service control manager can be told. Only the four instances
// below exist; code refers to them by address.
class StatusValue {
public:
    StatusValue(std::wstring statusName, DWORD serviceState, bool isPending, bool isTerminal)
        : name(std::move(statusName)), state(serviceState), pending(isPending), terminal(isTerminal)
    {
    }
    virtual ~StatusValue() = default;
    StatusValue(const StatusValue&) = delete;
    StatusValue& operator=(const StatusValue&) = delete;

    const std::wstring name;
    const DWORD state;
    const bool pending;   // re-sent periodically until replaced
    const bool terminal;  // the status thread ends after reporting it

    static const StatusValue STARTING;
    static const StatusValue RUNNING;
    static const StatusValue STOPPING;
    static const StatusValue STOPPED;
};
