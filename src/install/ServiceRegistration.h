#pragma once

#include <windows.h>

#include <string>
#include <vector>

// How a service is registered with the service control manager.
struct ServiceRegistration {
    std::wstring displayName;
    DWORD startType = SERVICE_DEMAND_START;
    bool delayedAutostart = false;
    std::wstring account;
    std::wstring binaryPath;
    std::vector<std::wstring> dependencies;
};

// Logs why it cannot and returns false when the registration cannot be read.
bool queryRegistration(SC_HANDLE service, const std::wstring& name, ServiceRegistration& registration);

// "auto", "delayed-auto", "demand" or "disabled".
std::wstring startTypeName(const ServiceRegistration& registration);

// The value of the /key= argument of a registered command line; empty
// when it has none.
std::wstring registeredArgument(const std::wstring& commandLine, const std::wstring& key);
