#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/ProcessRunner.h"
#include "support/TestFiles.h"

// validate-settings run on a settings file in a fresh folder, and the pieces
// such a file is written from.
class ValidateSettingsTestCase : public ::testing::Test {
protected:
    static const std::wstring CMD;

    TemporaryDirectory dir;
    std::wstring settings = dir.file(L"app.xml");

    static std::wstring minimalExecution(const std::wstring& inner = L"");
    static std::wstring document(const std::wstring& body);
    static std::wstring service(const std::wstring& extra = L"");

    ProcessResult validate(const std::wstring& body, std::vector<std::wstring> extra = {});
    ProcessResult validateFile(const std::wstring& path, std::vector<std::wstring> extra = {});
    // The machine-readable lines only.
    static std::vector<std::wstring> tagged(const ProcessResult& result);
};
