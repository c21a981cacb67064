#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/TextConversion.h"
#include "support/ProcessRunner.h"
#include "support/ServiceTestCase.h"
#include "support/TestFiles.h"

// Mistakes in the settings file and on the command line, as each command that
// reads the settings shows them.

namespace {

const std::vector<std::wstring> COMMANDS = {L"validate-settings", L"validate-create-settings", L"console",
                                            L"install"};

class SettingsMistakes : public ServiceTestCase {
protected:
    std::wstring program = helperPath(L"hwtestprog.exe");

    // The command with the settings file and, where an account is needed,
    // LocalSystem. A service that install registered is removed again.
    ProcessResult run(const std::wstring& command, std::vector<std::wstring> extra = {})
    {
        extra.insert(extra.begin(), {command, L"/settings=" + settings});
        if (command == L"install" || command == L"validate-create-settings") {
            extra.push_back(L"/runAsSystem");
        }
        ProcessOptions options;
        options.workDir = dir.path();
        const ProcessResult result = runHostwell(extra, options);
        if (command == L"install" && result.exitCode == 0) {
            runHostwell({L"deleteByName", L"/service=" + name});
        }
        return result;
    }
};

}  // namespace

TEST_F(SettingsMistakes, FileErrorsNameTheFileAndWhere)
{
    std::string utf16WithoutMark;
    for (const char c : std::string("<hostwell><name>x</name></hostwell>")) {
        utf16WithoutMark += std::string(1, c) + '\0';
    }
    const std::vector<std::pair<std::string, std::wstring>> cases = {
        // Columns count characters: é and U+1F600 are one each.
        {"<hostwell>\n  <name>x</name>\n  <description>\xC3\xA9\xF0\x9F\x98\x80</description><x a=>\n</hostwell>",
         L"Failed to parse document. expected ' or \" at line 3, column 37 in " + settings},
        {"", L"Settings file " + settings + L" is empty"},
        {"\xEF\xBB\xBF \r\n\t", L"Settings file " + settings + L" is empty"},
        {utf16WithoutMark, L"Settings file " + settings +
                               L" is UTF-16 without a byte-order mark (save it as UTF-8, or as UTF-16 with the mark)"},
        {"<hostwell>\r\n<name>\xC3\xA9" "caf\xE9</name>",
         L"Settings file " + settings + L" is not valid UTF-8: byte 0xE9 at line 2, column 11 (save it as UTF-8, or "
                                       L"name its encoding in the XML declaration)"},
    };
    for (const std::wstring& command : COMMANDS) {
        for (const auto& entry : cases) {
            writeBytes(settings, entry.first);
            const ProcessResult result = run(command);
            EXPECT_EQ(result.exitCode, 1u);
            EXPECT_TRUE(result.hasLine(entry.second)) << toUtf8(command + L"\n" + result.output());
        }
    }

    const std::string service = "<hostwell><name>" + toUtf8(name) + "</name><description>caf\xE9 \x80</description>"
                                "<execution><program>" + toUtf8(program) + "</program></execution></hostwell>";
    writeBytes(settings, "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n" + service);
    EXPECT_TRUE(run(L"validate-settings").hasLine(L"[j]: ServiceDescription:caf\u00e9 \u20ac!~"));
    writeBytes(settings, "<?xml version='1.0' encoding = 'ISO-8859-1'?>\n" + service);
    EXPECT_TRUE(run(L"validate-settings").hasLine(L"[j]: ServiceDescription:caf\u00e9 \u0080!~"));
}
