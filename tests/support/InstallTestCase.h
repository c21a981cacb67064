#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "support/ProcessRunner.h"
#include "support/TestFiles.h"

struct ServiceConfig {
    bool found = false;
    std::wstring binaryPath;
    DWORD startType = 0;
    std::wstring account;
    std::wstring displayName;
    DWORD shutdownTime = 0;  // milliseconds of pre-shutdown time
};

// What the service control manager holds of a service; `found` is false when it has none of that name.
ServiceConfig queryConfig(const std::wstring& name);
bool isRegistered(const std::wstring& name);

// Removes the service and its event source when the test ends, also when it fails half-way.
class RegisteredService {
public:
    explicit RegisteredService(std::wstring name) : name_(std::move(name)) {}
    ~RegisteredService();
    RegisteredService(const RegisteredService&) = delete;
    RegisteredService& operator=(const RegisteredService&) = delete;

    const std::wstring& name() const { return name_; }

private:
    std::wstring name_;
};

// The index of a whole line of the output, -1 when it has none such.
int lineIndex(const ProcessResult& result, const std::wstring& line);
// How install tells the administrator to start and stop the service it created.
std::vector<std::wstring> startStopHint(const std::wstring& name);
std::vector<std::wstring> lastLines(const ProcessResult& result, size_t count);

// Hostwell's install and the commands for installed services, run in a fresh
// folder with a settings file there.
class InstallTestCase : public ::testing::Test {
protected:
    static const std::wstring CMD;

    TemporaryDirectory dir;
    std::wstring settings = dir.file(L"app.xml");

    // A settings file for a new, unique service, removed again at the end of the test.
    RegisteredService& newService(const std::wstring& description = L"Runs the install test",
                                  const std::wstring& program = CMD);
    void writeSettings(const std::wstring& name, const std::wstring& description, const std::wstring& program = CMD);
    // Settings naming the display name, the description and the <service> elements of the dependencies.
    void writeIdentity(const std::wstring& name, const std::wstring& displayName, const std::wstring& description,
                       const std::wstring& dependencies);
    ProcessResult run(const std::wstring& command, std::vector<std::wstring> arguments);
    ProcessResult install(std::vector<std::wstring> arguments);
    std::wstring registeredCommandLine() const;

private:
    std::vector<std::unique_ptr<RegisteredService>> services_;
};
