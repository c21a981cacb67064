#pragma once

#include <windows.h>

#include <string>

#include "common/UniqueResource.h"

// A service registered in Wine's real service control manager for one test;
// stopped and deleted again when the object goes away.
class TestService {
public:
    // Registers `name` to run Hostwell.exe with the given arguments after the
    // quoted executable path, e.g. hostwell "/settings=C:\x.xml".
    TestService(const std::wstring& name, const std::wstring& hostwellArguments);
    // The same for a copy of Hostwell.exe elsewhere.
    TestService(const std::wstring& name, const std::wstring& executable, const std::wstring& arguments);
    // Controls a service registered by someone else; stops it (but does not
    // delete it) when the object goes away.
    explicit TestService(const std::wstring& name);
    ~TestService();
    TestService(const TestService&) = delete;
    TestService& operator=(const TestService&) = delete;

    bool start();
    DWORD startError() const { return startError_; }
    bool requestStop();
    SERVICE_STATUS_PROCESS status() const;
    // Polls every 20 ms until the state is reached; the status seen then.
    SERVICE_STATUS_PROCESS waitFor(DWORD state, DWORD timeoutMs = 30000) const;
    const std::wstring& name() const { return name_; }

    static std::wstring uniqueName(const std::wstring& prefix);

private:
    void open();

    std::wstring name_;
    bool owned_ = true;
    UniqueServiceHandle manager_;
    UniqueServiceHandle service_;
    DWORD startError_ = 0;
};

// True while a process of that id runs.
bool isProcessAlive(DWORD processId);
// Waits until the process of that id has ended.
bool waitForProcessEnd(DWORD processId, DWORD timeoutMs = 30000);
