#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "common/TextConversion.h"
#include "common/UniqueResource.h"
#include "logging/ErrorText.h"
#include "support/ProcessRunner.h"
#include "support/TestFiles.h"
#include "support/ValidateSettingsTestCase.h"

// validate-settings on the settings file as a whole: how it is found and read,
// what it must hold, what is printed of it, and files that are no settings.

using ValidateSettings = ValidateSettingsTestCase;

TEST_F(ValidateSettings, PrintsDefaultsOfAMinimalFile)
{
    const ProcessResult result = validate(service() + minimalExecution());
    ASSERT_EQ(result.exitCode, 0u) << toUtf8(result.output());
    const std::vector<std::wstring> expected = {
        L"[j]: ServiceName:Svc!~",
        L"[j]: ServiceDisplayName:Svc!~",
        L"[j]: ServiceDescription:The service!~",
        L"[e]: Program:" + CMD + L"!~",
        L"[e]: Arguments:!~",
        L"[e]: WorkDir:" + dir.path() + L"!~",
        L"[e]: StopTimeout:120000!~",
        L"[s]: DISABLED:true!~",
        L"[?] INFO",
        L"[?] WARN",
        L"[?] ERROR",
    };
    EXPECT_EQ(tagged(result), expected);
    EXPECT_TRUE(result.hasLine(L"Program stop timeout: 120000"));
}

TEST_F(ValidateSettings, PrintsEveryConfiguredValue)
{
    writeBytes(dir.file(L"server.exe"), "MZ");
    const ProcessResult result = validate(
        L"<name> Svc </name><displayName>Shown  Name</displayName><description>Runs &amp; <![CDATA[<serves>]]></description>"
        L"<service-logging level='WARN' file='logs\\service.log'/>"
        L"<execution><workdir>\\work\\dir</workdir><program>server.exe</program><arguments> --a \"b c\" </arguments>"
        L"<termination timeout=' 1.5 '><execution><program>" + CMD + L"</program><arguments>/c exit</arguments>"
        L"</execution></termination>"
        L"<status-marker><started> Server started </started></status-marker></execution>");
    ASSERT_EQ(result.exitCode, 0u) << toUtf8(result.output());
    const std::vector<std::wstring> expected = {
        L"[L]: LogLevel:WARN!~",
        L"[L]: LogFile:" + dir.file(L"logs\\service.log") + L"!~",
        L"[j]: ServiceName:Svc!~",
        L"[j]: ServiceDisplayName:Shown  Name!~",
        L"[j]: ServiceDescription:Runs & <serves>!~",
        L"[e]: Program:" + dir.file(L"server.exe") + L"!~",
        L"[e]: Arguments:--a \"b c\"!~",
        L"[e]: WorkDir:" + dir.file(L"work\\dir") + L"!~",
        L"[e]: StopTimeout:90000!~",
        L"[e]: Started marker: Server started",
        L"[s]: Program:" + CMD + L"!~",
        L"[s]: Arguments:/c exit!~",
        L"[s]: WorkDir:" + dir.file(L"work\\dir") + L"!~",
        L"[s]: DISABLED:false!~",
        L"[?] INFO",
        L"[?] WARN",
        L"[?] ERROR",
    };
    EXPECT_EQ(tagged(result), expected);
    EXPECT_TRUE(directoryExists(dir.file(L"work\\dir")));
    // The log file is only opened when the settings' logging is applied.
    EXPECT_FALSE(fileExists(dir.file(L"logs\\service.log")));
}

TEST_F(ValidateSettings, ReadsUtf8WithOrWithoutMarkAndUtf16WithMark)
{
    const std::wstring text = document(L"<name>\u00c9t\u00e9 \u4e2d</name><description>d</description>" + minimalExecution());
    const std::string utf8 = toUtf8(text);
    std::string utf16 = "\xFF\xFE";
    for (wchar_t c : text) {
        utf16.push_back(static_cast<char>(c & 0xFF));
        utf16.push_back(static_cast<char>(c >> 8));
    }
    for (const std::string& bytes : {utf8, "\xEF\xBB\xBF" + utf8, utf16}) {
        writeBytes(settings, bytes);
        const ProcessResult result = validateFile(settings);
        EXPECT_EQ(result.exitCode, 0u);
        EXPECT_TRUE(result.hasLine(L"[j]: ServiceName:\u00c9t\u00e9 \u4e2d!~")) << toUtf8(result.output());
    }
}

TEST_F(ValidateSettings, ReadsCharactersOutsideTheBasicPlaneAndThoseWithMarkupLowBytesIntact)
{
    // U+4E00 has the low byte of the end of data, U+013C that of '<', U+0120 that of a blank.
    const std::wstring written = L"\U0001F600 \u4E00\u013C\u0120 &#x1F601;&#233;";
    const std::wstring read = L"\U0001F600 \u4E00\u013C\u0120 \U0001F601\u00E9";
    const std::wstring log = dir.file(L"validate.log");
    const ProcessResult result = validate(L"<name>Svc</name><description>" + written + L"</description>" +
                                              minimalExecution(L"<arguments>" + written + L"</arguments>"),
                                          {L"/logfile=" + log});
    ASSERT_EQ(result.exitCode, 0u) << toUtf8(result.output());
    EXPECT_TRUE(result.hasLine(L"[j]: ServiceDescription:" + read + L"!~"));
    EXPECT_TRUE(result.hasLine(L"[e]: Arguments:" + read + L"!~"));
    EXPECT_NE(readUtf8(log).find(L"[Info] [j]: ServiceDescription:" + read + L"!~"), std::wstring::npos);
}

TEST_F(ValidateSettings, ReportsMissingRequiredElements)
{
    const std::vector<std::pair<std::wstring, std::wstring>> cases = {
        {L"", L"Failed to find <hostwell>/<name> element in settings"},
        {L"<name>x</name>" + minimalExecution(), L"Failed to find <hostwell>/<description> element in settings"},
        {service(), L"Failed to find <hostwell>/<execution> in settings"},
        {service(L"<execution/>"), L"Failed to find <hostwell>/<execution>/<program> element in settings"},
        {service(L"<execution><program> </program></execution>"), L"Program to execute was not specified"},
        {service(L"<execution><program>C:\\no\\such.exe</program></execution>"), L"File does not exists: C:\\no\\such.exe"},
        {service(L"<execution><program>C:\\windows</program></execution>"), L"File is a directory: C:\\windows"},
        {service(L"<execution><program>no-such-program.exe</program></execution>"),
         L"Failed to find executable for: no-such-program.exe"},
        {service(L"<execution><program>\\\\server\\share\\x.exe</program></execution>"),
         L"Program path may not refer to a network share: \\\\server\\share\\x.exe"},
        {service(L"<execution><program>\\\\?\\UNC\\server\\share\\x.exe</program></execution>"),
         L"Program path may not refer to a network share: \\\\?\\UNC\\server\\share\\x.exe"},
        {service(minimalExecution(L"<workdir>\\\\server\\share</workdir>")),
         L"Program path may not refer to a network share: <workdir> is \\\\server\\share"},
        {service(minimalExecution(L"<termination><execution><arguments>x</arguments></execution></termination>")),
         L"Failed to find <hostwell>/<execution>/<program> element in settings"},
    };
    for (const auto& entry : cases) {
        const ProcessResult result = validate(entry.first);
        EXPECT_EQ(result.exitCode, 1u) << toUtf8(entry.second);
        EXPECT_TRUE(result.hasLine(entry.second)) << toUtf8(result.output());
        EXPECT_TRUE(tagged(result).empty());
    }
    writeUtf8(settings, L"<other/>");
    EXPECT_TRUE(validateFile(settings).hasLine(L"Failed to find <hostwell> node in document"));
}

TEST_F(ValidateSettings, ResolvesRelativeSettingsPathAgainstTheCurrentFolderAndReadsTheFileTwice)
{
    writeUtf8(settings, document(service() + minimalExecution()));
    ProcessOptions options;
    options.workDir = dir.path();
    const ProcessResult result = runHostwell({L"validate-settings", L"/settings=app.xml", L"/debug"}, options);
    EXPECT_EQ(result.exitCode, 0u);
    int loads = 0;
    for (const std::wstring& line : result.lines()) {
        if (line.find(L"Loading service settings from " + settings) != std::wstring::npos) {
            ++loads;
        }
    }
    EXPECT_EQ(loads, 2);
}

TEST_F(ValidateSettings, WithoutSettingsArgumentFailsBeforeTouchingAnyFile)
{
    const ProcessResult result = runHostwell({L"validate-settings"});
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_TRUE(result.hasLine(L"Failed to find configuration file commandline parameter"));
}

TEST_F(ValidateSettings, IgnoresUnknownAndRepeatedElements)
{
    const ProcessResult result = validate(
        L"<name>First</name><name>Second</name><unknown a='b'><name>x</name></unknown><description>d</description>"
        + minimalExecution(L"<extra/>"));
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_TRUE(result.hasLine(L"[j]: ServiceName:First!~"));
    EXPECT_TRUE(result.hasLine(L"<name> at line 3 is ignored: only the first <name>, at line 3, is read"))
        << toUtf8(result.output());

    // Each on a line of its own, and a list element that may repeat.
    const ProcessResult health = validate(service(minimalExecution(
        L"\n<health><tcp>127.0.0.1:1</tcp></health>\n<health><tcp>127.0.0.1:2</tcp></health>\n"
        L"<environment><variable name='a' value='1'/><variable name='b' value='2'/></environment>")));
    EXPECT_TRUE(health.hasLine(L"<health> at line 5 is ignored: only the first <health>, at line 4, is read"))
        << toUtf8(health.output());
    EXPECT_FALSE(health.contains(L"<variable> at line"));
}

TEST_F(ValidateSettings, RefusesFilesThatAreNoSettingsWithAClearMessage)
{
    struct Case {
        std::string bytes;
        std::wstring message;
    };
    std::string deep;
    std::string deepInText = "<a>";
    for (int i = 0; i < 100000; ++i) {
        deep += "<a>";
        deepInText += "&lt;b>&lt;b>";
    }
    // The parser skips "<!x[>" to its first '>'; bracket counting would miss all that follows.
    const std::string deepAfterDeclaration = "<!x[>" + deep + deep;
    // U+013C is a letter like any other (its low byte is that of '<'): the
    // translated references stay text.
    deepInText += "\xC4\xBC</a>";
    std::string utf16NoMark;
    for (char c : std::string("<hostwell><name>x</name></hostwell>")) {
        utf16NoMark.push_back(c);
        utf16NoMark.push_back('\0');
    }
    std::string binary;
    for (int i = 1; i < 4096; ++i) {
        binary.push_back(static_cast<char>((i * 7919) % 256));
    }
    const std::vector<Case> cases = {
        {"this is not xml", L"Failed to parse document. "},
        {"<hostwell><name>x</name><description>", L"Failed to parse document. "},
        {"", L"Settings file " + settings + L" is empty"},
        {std::string("\0<hostwell>", 11), L"Failed to find <hostwell> node in document"},
        {deep, L"Failed to parse document. elements are nested deeper than 1000 levels"},
        {deepAfterDeclaration, L"Failed to parse document. elements are nested deeper than 1000 levels"},
        {deepInText, L"Failed to find <hostwell> node in document"},
        {utf16NoMark, L"Settings file " + settings + L" is UTF-16 without a byte-order mark"},
        {binary, L"Settings file " + settings + L" is not valid UTF-8: byte 0xEF at line 1, column 1"},
    };
    for (const Case& c : cases) {
        writeBytes(settings, c.bytes);
        const ProcessResult result = validateFile(settings);
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 1u) << toUtf8(c.message);
        bool found = false;
        for (const std::wstring& line : result.lines()) {
            found = found || line.compare(0, c.message.size(), c.message) == 0;
        }
        EXPECT_TRUE(found) << toUtf8(result.output()).substr(0, 400);
    }
}

TEST_F(ValidateSettings, MeasuresTheNestingPastADoctypeWhoseBracketsNest)
{
    // A DOCTYPE's brackets nest, so its first ']' and the '>' after it lie inside
    // it: 1,500 openers there are no elements, 150,000 after its end are.
    std::wstring openers;
    for (int i = 0; i < 1500; ++i) {
        openers += L"<a>";
    }
    writeUtf8(settings, L"<?xml version=\"1.0\"?>\n<!DOCTYPE x [[]" + openers + L"]>\n<hostwell>" + service() +
                            minimalExecution() + L"</hostwell>");
    const ProcessResult hidden = validateFile(settings);
    EXPECT_EQ(hidden.exitCode, 0u) << toUtf8(hidden.output()).substr(0, 400);
    EXPECT_TRUE(hidden.hasLine(L"[j]: ServiceName:Svc!~"));

    std::wstring deep = L"<!DOCTYPE x [[]>]>";
    for (int i = 0; i < 100; ++i) {
        deep += openers;
    }
    writeUtf8(settings, deep);
    const ProcessResult refused = validateFile(settings);
    EXPECT_EQ(refused.exitCode, 1u);
    EXPECT_TRUE(refused.contains(L"Failed to parse document. elements are nested deeper than 1000 levels"))
        << toUtf8(refused.output()).substr(0, 400);
}

TEST_F(ValidateSettings, RefusesFilesThatCannotBeRead)
{
    const ProcessResult missing = validateFile(dir.file(L"missing.xml"));
    EXPECT_EQ(missing.exitCode, 1u);
    EXPECT_TRUE(missing.hasLine(L"Failed to open settings file " + dir.file(L"missing.xml") + L": " +
                                errorText(ERROR_FILE_NOT_FOUND)))
        << toUtf8(missing.output());

    const ProcessResult folder = validateFile(dir.path());
    EXPECT_EQ(folder.exitCode, 1u);
    EXPECT_TRUE(folder.contains(L"Failed to open settings file " + dir.path() + L": "));

    writeUtf8(settings, document(service() + minimalExecution()));
    UniqueHandle lock(CreateFileW(settings.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock);
    const ProcessResult locked = validateFile(settings);
    EXPECT_EQ(locked.exitCode, 1u);
    EXPECT_TRUE(locked.hasLine(L"Failed to open settings file " + settings + L": " + errorText(ERROR_SHARING_VIOLATION)))
        << toUtf8(locked.output());
}

TEST_F(ValidateSettings, HandlesA50MegabyteFile)
{
    const std::string head = toUtf8(L"<hostwell><name>Big</name><description>d</description>" + minimalExecution());
    std::string bytes = head + "<!--";
    bytes.append(50u * 1024 * 1024, 'x');
    bytes += "--></hostwell>";
    writeBytes(settings, bytes);
    const ProcessResult result = validateFile(settings);
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_TRUE(result.hasLine(L"[j]: ServiceName:Big!~"));
}

TEST_F(ValidateSettings, ReadsAnAsciiFileWhateverEncodingItsDeclarationNames)
{
    writeBytes(settings, "<?xml version='1.0' encoding='koi8-r'?>\n<hostwell><name>Svc</name><description>d"
                         "</description><execution><program>C:\\windows\\system32\\cmd.exe</program></execution>"
                         "</hostwell>");
    const ProcessResult result = validateFile(settings);
    EXPECT_EQ(result.exitCode, 0u) << toUtf8(result.output());
}
