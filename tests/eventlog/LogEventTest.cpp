#include <gtest/gtest.h>

#include <windows.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "common/TextConversion.h"
#include "support/ProcessRunner.h"
#include "support/TestFiles.h"

namespace {

const std::wstring BANNER = L"Corvane Hostwell v1.1.730.777";
const std::wstring SEPARATOR(63, L'=');

// Wine prints every insertion string of a reported record through its
// eventlog channel, "<thread>:<class>:eventlog:ReportEventW L"<text>"", on the
// Unix standard error that Hostwell inherits from this test, which
// wine-with-stderr-file.sh sends to a file.
struct PrintedString {
    std::wstring channelClass;
    std::wstring text;
};

struct LogEventRun {
    ProcessResult result;
    std::vector<PrintedString> strings;
};

std::wstring inheritedStandardErrorFile()
{
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = GetEnvironmentVariableW(L"HOSTWELL_TEST_STDERR", path, MAX_PATH);
    return length > 0 && length <= MAX_PATH ? std::wstring(path, length) : std::wstring();
}

std::wstring unescape(const std::wstring& quoted)
{
    std::wstring text;
    for (size_t i = 0; i < quoted.size(); ++i) {
        if (quoted[i] == L'\\' && i + 1 < quoted.size()) {
            ++i;
        }
        text.push_back(quoted[i]);
    }
    return text;
}

std::vector<PrintedString> printedStrings(const std::string& standardError)
{
    const std::wstring marker = L":eventlog:ReportEventW L\"";
    std::vector<PrintedString> strings;
    std::wistringstream lines(fromUtf8(standardError));
    std::wstring line;
    while (std::getline(lines, line)) {
        const size_t found = line.find(marker);
        if (found == std::wstring::npos || line.back() != L'"') {
            continue;
        }
        const size_t classStart = line.rfind(L':', found - 1) + 1;
        const size_t textStart = found + marker.size();
        strings.push_back({line.substr(classStart, found - classStart),
                           unescape(line.substr(textStart, line.size() - 1 - textStart))});
    }
    return strings;
}

LogEventRun logEvent(const std::vector<std::wstring>& arguments)
{
    const std::wstring stderrFile = inheritedStandardErrorFile();
    EXPECT_FALSE(stderrFile.empty()) << "run through wine-with-stderr-file.sh";
    const size_t before = readBytes(stderrFile).size();

    ProcessOptions options;
    options.environment = {{L"WINEDEBUG", L"-all,err+eventlog,warn+eventlog,trace+eventlog"}};
    std::vector<std::wstring> commandLine = {L"log-event"};
    commandLine.insert(commandLine.end(), arguments.begin(), arguments.end());
    const ProcessResult result = runHostwell(commandLine, options);
    return {result, printedStrings(readBytes(stderrFile).substr(before))};
}

std::vector<std::wstring> texts(const LogEventRun& run)
{
    std::vector<std::wstring> result;
    for (const PrintedString& printed : run.strings) {
        result.push_back(printed.text);
    }
    return result;
}

}  // namespace

TEST(LogEvent, WritesFiveInsertionStringsWithPercentSignsReplaced)
{
    const LogEventRun run = logEvent({L"/severity=Error", L"/message=Disk 90% full, 100%% sure"});
    ASSERT_TRUE(run.result.finished);
    EXPECT_EQ(run.result.exitCode, 0u);
    EXPECT_EQ(texts(run), (std::vector<std::wstring>{SEPARATOR, BANNER, hostwellPath(),
                                                     L"Disk 90_ full, 100__ sure", SEPARATOR}));
    for (const PrintedString& printed : run.strings) {
        EXPECT_EQ(printed.channelClass, L"err");
    }
    EXPECT_EQ(run.result.lines(), std::vector<std::wstring>{BANNER});
}

TEST(LogEvent, SeverityIgnoresLetterCase)
{
    const std::vector<std::pair<std::wstring, std::wstring>> cases = {
        {L"eRRor", L"err"}, {L"WARN", L"warn"}, {L"Info", L"trace"}, {L"success", L"trace"}};
    for (const auto& severity : cases) {
        const LogEventRun run = logEvent({L"/severity=" + severity.first, L"/message=text"});
        EXPECT_EQ(run.result.exitCode, 0u);
        ASSERT_EQ(run.strings.size(), 5u) << severity.first;
        for (const PrintedString& printed : run.strings) {
            EXPECT_EQ(printed.channelClass, severity.second) << severity.first;
        }
        EXPECT_EQ(run.strings[3].text, L"text");
    }
}

TEST(LogEvent, MissingOrUnknownArgumentsFailWithoutARecord)
{
    const std::vector<std::pair<std::vector<std::wstring>, std::wstring>> cases = {
        {{L"/message=text"}, L"Severity key is missing"},
        {{L"/severity=info"}, L"Message key is missing"},
        {{L"/severity=Warning", L"/message=text"}, L"Unknown severity: warning"},
        {{L"/severity=", L"/message=text"}, L"Unknown severity: "},
    };
    for (const auto& failure : cases) {
        const LogEventRun run = logEvent(failure.first);
        EXPECT_EQ(run.result.exitCode, 1u) << failure.second;
        EXPECT_TRUE(run.strings.empty()) << failure.second;
        EXPECT_EQ(run.result.lines(), (std::vector<std::wstring>{BANNER, failure.second}));
    }
}
