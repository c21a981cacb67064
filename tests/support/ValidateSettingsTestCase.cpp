#include "support/ValidateSettingsTestCase.h"

const std::wstring ValidateSettingsTestCase::CMD = L"C:\\windows\\system32\\cmd.exe";

std::wstring ValidateSettingsTestCase::minimalExecution(const std::wstring& inner)
{
    return L"<execution><program>" + CMD + L"</program>" + inner + L"</execution>";
}

std::wstring ValidateSettingsTestCase::document(const std::wstring& body)
{
    return L"<?xml version=\"1.0\"?>\n<hostwell>\n" + body + L"\n</hostwell>\n";
}

std::wstring ValidateSettingsTestCase::service(const std::wstring& extra)
{
    return L"<name>Svc</name><description>The service</description>" + extra;
}

ProcessResult ValidateSettingsTestCase::validate(const std::wstring& body, std::vector<std::wstring> extra)
{
    writeUtf8(settings, document(body));
    return validateFile(settings, extra);
}

ProcessResult ValidateSettingsTestCase::validateFile(const std::wstring& path, std::vector<std::wstring> extra)
{
    extra.insert(extra.begin(), {L"validate-settings", L"/settings=" + path});
    return runHostwell(extra);
}

std::vector<std::wstring> ValidateSettingsTestCase::tagged(const ProcessResult& result)
{
    std::vector<std::wstring> lines;
    for (const std::wstring& line : result.lines()) {
        if (line.size() > 1 && line[0] == L'[' && line.find(L"] ") != 0 && line.compare(0, 2, L"[T") != 0) {
            lines.push_back(line);
        }
    }
    return lines;
}
