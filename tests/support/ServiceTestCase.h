#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "support/TestFiles.h"

// A test that runs the test program as a service: a settings file with a
// debug-level log file in a fresh folder, and a unique service name.
class ServiceTestCase : public ::testing::Test {
protected:
    TemporaryDirectory dir;
    std::wstring settings = dir.file(L"service.xml");
    std::wstring log = dir.file(L"logs\\service.log");
    std::wstring name;

    ServiceTestCase();

    void writeSettings(const std::wstring& arguments, const std::wstring& extraExecution = L"",
                       const std::wstring& level = L"debug");
    std::wstring hostwellArguments() const;
    // A termination element whose stop command runs the test program.
    std::wstring stopCommand(const std::wstring& arguments, const std::wstring& timeout = L"1") const;
    bool logHas(const std::wstring& text) const;
    void waitForLogLine(const std::wstring& text) const;
    // The live log file and its backups, oldest first.
    std::wstring retainedLog() const;

    static void waitForFile(const std::wstring& path, int seconds = 30);
    static DWORD readProcessId(const std::wstring& path);
};
