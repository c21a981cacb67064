#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/TextConversion.h"
#include "common/UniqueResource.h"
#include "logging/ErrorText.h"
#include "support/ProcessRunner.h"
#include "support/TestFiles.h"

namespace {

const std::wstring CMD = L"C:\\windows\\system32\\cmd.exe";

std::wstring minimalExecution(const std::wstring& inner = L"")
{
    return L"<execution><program>" + CMD + L"</program>" + inner + L"</execution>";
}

std::wstring document(const std::wstring& body)
{
    return L"<?xml version=\"1.0\"?>\n<hostwell>\n" + body + L"\n</hostwell>\n";
}

std::wstring service(const std::wstring& extra = L"")
{
    return L"<name>Svc</name><description>The service</description>" + extra;
}

class ValidateSettings : public ::testing::Test {
protected:
    TemporaryDirectory dir;
    std::wstring settings = dir.file(L"app.xml");

    ProcessResult validate(const std::wstring& body, std::vector<std::wstring> extra = {})
    {
        writeUtf8(settings, document(body));
        return validateFile(settings, extra);
    }

    ProcessResult validateFile(const std::wstring& path, std::vector<std::wstring> extra = {})
    {
        extra.insert(extra.begin(), {L"validate-settings", L"/settings=" + path});
        return runHostwell(extra);
    }

    // The machine-readable lines only.
    static std::vector<std::wstring> tagged(const ProcessResult& result)
    {
        std::vector<std::wstring> lines;
        for (const std::wstring& line : result.lines()) {
            if (line.size() > 1 && line[0] == L'[' && line.find(L"] ") != 0 && line.compare(0, 2, L"[T") != 0) {
                lines.push_back(line);
            }
        }
        return lines;
    }
};

}  // namespace

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

TEST_F(ValidateSettings, ReadsTheStopTimeoutAndRefusesAnUnknownConsoleEvent)
{
    const std::vector<std::pair<std::wstring, std::wstring>> accepted = {
        {L"0", L"0"}, {L" 2 ", L"120000"}, {L"1.5", L"90000"}, {L"1e3", L"60000000"}, {L"40000", L"2147483647"},
    };
    for (const auto& entry : accepted) {
        const ProcessResult result =
            validate(service(minimalExecution(L"<termination timeout='" + entry.first + L"'/>")));
        EXPECT_TRUE(result.hasLine(L"[e]: StopTimeout:" + entry.second + L"!~")) << toUtf8(entry.first);
    }
    const std::vector<std::pair<std::wstring, std::wstring>> refused = {
        {L"0.0", L"Failed to parse timeout value: 0.0"},
        {L"-1", L"Failed to parse timeout value: -1"},
        {L"abc", L"Failed to parse timeout value: abc"},
        {L"", L"timout value is empty"},
        {L"   ", L"timout value is empty"},
    };
    const ProcessResult wrongEvent = validate(service(minimalExecution(L"<termination console-event='ctrl+c'/>")));
    EXPECT_EQ(wrongEvent.exitCode, 1u);
    EXPECT_TRUE(wrongEvent.hasLine(L"Unknown console-event \"ctrl+c\" in <hostwell>/<execution>/<termination>: write "
                                   L"none, ctrl-c or ctrl-break"))
        << toUtf8(wrongEvent.output());
    EXPECT_EQ(validate(service(minimalExecution(L"<termination console-event='ctrl-break'/>"))).exitCode, 0u);
    for (const auto& entry : refused) {
        const ProcessResult result =
            validate(service(minimalExecution(L"<termination timeout='" + entry.first + L"'/>")));
        EXPECT_EQ(result.exitCode, 1u);
        EXPECT_TRUE(result.hasLine(entry.second)) << toUtf8(result.output());
    }
}

TEST_F(ValidateSettings, RefusesAnUnknownOutputEncodingAndAnEnvironmentVariableWithoutName)
{
    for (const wchar_t* accepted : {L"auto", L" UTF-8 ", L"utf-16", L"1200", L"ansi", L"oem", L"1251"}) {
        const ProcessResult result =
            validate(service(minimalExecution(L"<output-encoding>" + std::wstring(accepted) + L"</output-encoding>")));
        EXPECT_EQ(result.exitCode, 0u) << toUtf8(result.output());
    }
    const ProcessResult unknown = validate(service(minimalExecution(L"<output-encoding>latin1</output-encoding>")));
    EXPECT_EQ(unknown.exitCode, 1u);
    EXPECT_TRUE(unknown.hasLine(L"Unknown output-encoding \"latin1\" in <hostwell>/<execution>: write auto, utf-8, "
                                L"utf-16, ansi, oem or the number of a code page, such as 1252"))
        << toUtf8(unknown.output());
    const ProcessResult missing = validate(service(minimalExecution(L"<output-encoding>12345</output-encoding>")));
    EXPECT_EQ(missing.exitCode, 1u);
    EXPECT_TRUE(missing.hasLine(L"Code page 12345 of <hostwell>/<execution>/<output-encoding> is not installed on "
                                L"this system: write auto, utf-8, utf-16, ansi, oem or the number of an installed "
                                L"code page"))
        << toUtf8(missing.output());

    const ProcessResult nameless = validate(service(minimalExecution(
        L"<environment><variable name='A' value='1'/><variable name=' ' value='x'/></environment>")));
    EXPECT_EQ(nameless.exitCode, 1u);
    EXPECT_TRUE(nameless.hasLine(L"A <variable> in <hostwell>/<execution>/<environment> has no name (its value is "
                                 L"\"x\"): write <variable name=\"NAME\" value=\"...\"/>"))
        << toUtf8(nameless.output());
    const ProcessResult equals =
        validate(service(minimalExecution(L"<environment><variable name='A=B' value='1'/></environment>")));
    EXPECT_EQ(equals.exitCode, 1u);
    EXPECT_TRUE(equals.hasLine(L"Environment variable name \"A=B\" in <hostwell>/<execution>/<environment> "
                               L"contains \"=\", which no variable name can"))
        << toUtf8(equals.output());
}

TEST_F(ValidateSettings, ReadsTheRestartPolicyAndTheStartLimitAndRefusesDurationsWithoutAWholeNumberAndUnit)
{
    const std::vector<std::pair<std::wstring, std::wstring>> accepted = {
        {L"<restart when='failure' delay=' 500ms' reset='1h'/>",
         L"[e]: Restart:failure delay=500ms max-delay=5m reset=1h max-restarts=0!~"},
        {L"<restart when='always' delay='10m' max-restarts='3'/>",
         L"[e]: Restart:always delay=10m max-delay=10m reset=10m max-restarts=3!~"},
        {L"<restart when='always' delay='90000ms' max-delay='2h'/>",
         L"[e]: Restart:always delay=90s max-delay=2h reset=10m max-restarts=0!~"},
        {L"<status-marker timeout='120s'><started>up</started></status-marker>", L"[e]: StartedTimeout:120s!~"},
    };
    for (const auto& entry : accepted) {
        const ProcessResult result = validate(service(minimalExecution(entry.first)));
        EXPECT_EQ(result.exitCode, 0u) << toUtf8(entry.first);
        EXPECT_TRUE(result.hasLine(entry.second)) << toUtf8(result.output());
    }
    EXPECT_EQ(tagged(validate(service(minimalExecution(L"<restart delay='1s'/>")))),
              tagged(validate(service(minimalExecution()))));
    const ProcessResult emptyMarker =
        validate(service(minimalExecution(L"<status-marker><started></started></status-marker>")));
    EXPECT_TRUE(emptyMarker.hasLine(L"<hostwell>/<execution>/<status-marker>/<started> is empty: no marker is used, "
                                    L"the service runs as soon as the program does"))
        << toUtf8(emptyMarker.output());
    EXPECT_EQ(tagged(emptyMarker), tagged(validate(service(minimalExecution()))));

    const std::wstring hint = L": write a whole number and a unit (ms, s, m or h), such as 5s";
    const std::wstring restart = L" in <hostwell>/<execution>/<restart> ";
    const std::vector<std::pair<std::wstring, std::wstring>> refused = {
        {L"<restart delay='5'/>", L"Duration delay=\"5\"" + restart + L"has no unit" + hint},
        {L"<restart delay='5sec'/>", L"Duration delay=\"5sec\"" + restart + L"has the unknown unit \"sec\"" + hint},
        {L"<restart max-delay='-5s'/>", L"Duration max-delay=\"-5s\"" + restart + L"is negative" + hint},
        {L"<restart reset='1.5h'/>", L"Duration reset=\"1.5h\"" + restart + L"is not a whole number" + hint},
        {L"<restart delay='ms'/>", L"Duration delay=\"ms\"" + restart + L"is not a number" + hint},
        {L"<restart delay='99999999999999999999999ms'/>",
         L"Duration delay=\"99999999999999999999999ms\"" + restart + L"is longer than 1000h" + hint},
        {L"<restart delay='1001h'/>", L"Duration delay=\"1001h\"" + restart + L"is longer than 1000h" + hint},
        {L"<restart max-delay='60001m'/>",
         L"Duration max-delay=\"60001m\"" + restart + L"is longer than 1000h" + hint},
        {L"<restart reset='3600001s'/>", L"Duration reset=\"3600001s\"" + restart + L"is longer than 1000h" + hint},
        {L"<restart delay='1s' max-delay='500ms'/>",
         L"Duration max-delay=\"500ms\"" + restart + L"is shorter than the delay 1s: the waits grow from the delay "
         L"up to max-delay"},
        {L"<restart when='on-failure'/>",
         L"Unknown when \"on-failure\" in <hostwell>/<execution>/<restart>: write never, failure or always"},
        {L"<restart max-restarts='three'/>",
         L"max-restarts \"three\" in <hostwell>/<execution>/<restart> is not a whole number: write how many "
         L"restarts in a row are allowed, or 0 for no limit"},
        {L"<restart max-restarts='99999999999'/>",
         L"max-restarts \"99999999999\" in <hostwell>/<execution>/<restart> is too large: write a number from 1 to "
         L"999999999, or 0 for no limit"},
        {L"<status-marker timeout='2'><started>up</started></status-marker>",
         L"Duration timeout=\"2\" in <hostwell>/<execution>/<status-marker> has no unit" + hint},
        {L"<status-marker timeout='0s'><started>up</started></status-marker>",
         L"Duration timeout=\"0s\" in <hostwell>/<execution>/<status-marker> is zero: give the program the time it "
         L"needs to start, such as 2m"},
    };
    for (const auto& entry : refused) {
        const ProcessResult result = validate(service(minimalExecution(entry.first)));
        EXPECT_EQ(result.exitCode, 1u) << toUtf8(entry.first);
        EXPECT_TRUE(result.hasLine(entry.second)) << toUtf8(result.output());
    }
}

TEST_F(ValidateSettings, ReadsHowLogsRollAndRefusesSizesCountsAndNamesOutOfRangeWithTheAcceptedForm)
{
    const std::vector<std::pair<std::wstring, std::wstring>> accepted = {
        {service(L"<service-logging file='s.log' max-size=' 10mb' keep='10' roll='daily' compress='gzip'/>") +
             minimalExecution(),
         L"[L]: LogRoll:max-size=10MB keep=10 roll=daily compress=gzip!~"},
        {service(L"<service-logging max-size='4GB' keep='1000'/>") + minimalExecution(),
         L"[L]: LogRoll:max-size=4GB keep=1000 roll=size compress=none!~"},
        {service() + minimalExecution(L"<output-log file='logs\\app.log' max-size='64KB' keep='1'/>"),
         L"[e]: OutputLog:" + dir.file(L"logs\\app.log") + L" max-size=64KB keep=1 roll=size compress=none!~"},
    };
    for (const auto& entry : accepted) {
        const ProcessResult result = validate(entry.first);
        EXPECT_EQ(result.exitCode, 0u) << toUtf8(entry.first);
        EXPECT_TRUE(result.hasLine(entry.second)) << toUtf8(result.output());
        EXPECT_EQ(result.output().find(L"Unknown attribute"), std::wstring::npos) << toUtf8(result.output());
    }
    // The defaults are today's 3MB and 3 backups, not worth a line.
    EXPECT_EQ(tagged(validate(service(L"<service-logging max-size='3MB' keep='3' roll='size'/>") + minimalExecution())),
              tagged(validate(service(L"<service-logging/>") + minimalExecution())));

    const std::wstring logging = L" in <hostwell>/<service-logging> ";
    const std::wstring hint = L": write a whole number and KB, MB or GB, from 64KB to 4GB, such as 10MB";
    const std::wstring keepHint = L" is not a whole number from 1 to 1000: write how many backups are kept, such as 10";
    const std::vector<std::pair<std::wstring, std::wstring>> refused = {
        {L"max-size='63KB'", L"Size max-size=\"63KB\"" + logging + L"is smaller than 64KB" + hint},
        {L"max-size='4097MB'", L"Size max-size=\"4097MB\"" + logging + L"is larger than 4GB" + hint},
        {L"max-size='99999999999999999999GB'",
         L"Size max-size=\"99999999999999999999GB\"" + logging + L"is larger than 4GB" + hint},
        {L"max-size='10'", L"Size max-size=\"10\"" + logging + L"has no unit" + hint},
        {L"max-size='1.5MB'", L"Size max-size=\"1.5MB\"" + logging + L"is not a whole number" + hint},
        {L"max-size='10M'", L"Size max-size=\"10M\"" + logging + L"has the unknown unit \"M\"" + hint},
        {L"keep='0'", L"keep=\"0\" in <hostwell>/<service-logging>" + keepHint},
        {L"keep='1001'", L"keep=\"1001\" in <hostwell>/<service-logging>" + keepHint},
        {L"keep='-1'", L"keep=\"-1\" in <hostwell>/<service-logging>" + keepHint},
        {L"roll='hourly'", L"Unknown roll=\"hourly\" in <hostwell>/<service-logging>: write size or daily"},
        {L"compress='zip'", L"Unknown compress=\"zip\" in <hostwell>/<service-logging>: write gzip or none"},
        {L"file=''", L"Empty file=\"\" in <hostwell>/<service-logging>: write the path of the log file, or leave "
                     L"the attribute out for no log file"},
    };
    for (const auto& entry : refused) {
        const ProcessResult result = validate(service(L"<service-logging " + entry.first + L"/>") + minimalExecution());
        EXPECT_EQ(result.exitCode, 1u) << toUtf8(entry.first);
        EXPECT_TRUE(result.hasLine(entry.second)) << toUtf8(result.output());
    }
    const ProcessResult outputLog = validate(service() + minimalExecution(L"<output-log keep='5' roll='weekly'/>"));
    EXPECT_EQ(outputLog.exitCode, 1u);
    EXPECT_TRUE(outputLog.hasLine(L"<hostwell>/<execution>/<output-log> has no file: write the path of the file for "
                                  L"the program's output, such as file=\"logs\\app.log\""))
        << toUtf8(outputLog.output());
    EXPECT_TRUE(validate(service() + minimalExecution(L"<output-log file='a.log' roll='weekly'/>"))
                    .hasLine(L"Unknown roll=\"weekly\" in <hostwell>/<execution>/<output-log>: write size or daily"));
}

TEST_F(ValidateSettings, ReadsWhatTheProgramMayUseAndItsRecyclingAndRefusesWrongValuesWithElementAndForm)
{
    const ProcessResult all = validate(service(minimalExecution(
        L"<priority> below-normal </priority><affinity>3, 0-1 ,5</affinity>"
        L"<limits memory='2gb' cpu=' 50% ' processes='20'/><recycle memory='1500MB' every='86400s' at='15:00 3:00'/>")));
    ASSERT_EQ(all.exitCode, 0u) << toUtf8(all.output());
    const std::vector<std::wstring> expected = {
        L"[e]: Priority:below-normal!~",
        L"[e]: Affinity:0-1,3,5!~",
        L"[e]: Limits:memory=2GB cpu=50% processes=20!~",
        L"[e]: Recycle:memory=1500MB every=24h at=03:00 15:00!~",
    };
    for (const std::wstring& line : expected) {
        EXPECT_TRUE(all.hasLine(line)) << toUtf8(line + L"\n" + all.output());
    }
    // Whether the machine has processor 63 is for the start to say.
    EXPECT_TRUE(validate(service(minimalExecution(L"<affinity>63</affinity>"))).hasLine(L"[e]: Affinity:63!~"));
    EXPECT_EQ(tagged(validate(service(minimalExecution(L"<limits/><recycle/>")))),
              tagged(validate(service(minimalExecution()))));

    const std::wstring execution = L" in <hostwell>/<execution>/";
    const std::wstring priorities = L"write idle, below-normal, normal, above-normal or high";
    const std::vector<std::pair<std::wstring, std::wstring>> refused = {
        {L"<priority>fast</priority>", L"Unknown priority \"fast\"" + execution + L"<priority>: " + priorities},
        {L"<priority>realtime</priority>",
         L"<hostwell>/<execution>/<priority> realtime is refused: a runaway program at realtime priority can starve "
         L"the whole system, the service control manager included; " + priorities},
        {L"<affinity>0-x</affinity>",
         L"Affinity \"0-x\"" + execution + L"<affinity> has \"x\", which is not a processor number: write processor "
         L"numbers from 0 to 63 and ranges of them, separated by commas, such as 0,2-3"},
        {L"<affinity>3-1</affinity>",
         L"Affinity \"3-1\"" + execution + L"<affinity> has the range 3-1, which ends before it starts: write "
         L"processor numbers from 0 to 63 and ranges of them, separated by commas, such as 0,2-3"},
        {L"<limits memory='5 apples'/>",
         L"Size memory=\"5 apples\"" + execution + L"<limits> has the unknown unit \" apples\": write a whole number "
         L"and KB, MB or GB, from 1MB to 1024GB, such as 2GB"},
        {L"<limits cpu='150%'/>",
         L"cpu=\"150%\"" + execution + L"<limits> is not a percentage from 1% to 100%: write the share of the time "
         L"of all processors the program may use, such as 50%"},
        {L"<limits processes='0'/>",
         L"processes=\"0\"" + execution + L"<limits> is not a whole number from 1 to 100000: write how many "
         L"processes the program and those it starts may run at once, such as 20"},
        {L"<recycle memory='5 apples'/>",
         L"Size memory=\"5 apples\"" + execution + L"<recycle> has the unknown unit \" apples\": write a whole "
         L"number and KB, MB or GB, from 1MB to 1024GB, such as 1500MB"},
        {L"<recycle every='500ms'/>",
         L"Duration every=\"500ms\"" + execution + L"<recycle> is shorter than 1s: write how long the program runs "
         L"before it is restarted, such as 24h"},
        {L"<recycle at='03:00 25:00'/>",
         L"Time \"25:00\" in at=\"03:00 25:00\" of <hostwell>/<execution>/<recycle> is not a time of day: write "
         L"times of day from 00:00 to 23:59, separated by blanks, such as 03:00 15:00"},
    };
    for (const auto& entry : refused) {
        for (const wchar_t* command : {L"validate-settings", L"install"}) {
            writeUtf8(settings, document(service(minimalExecution(entry.first))));
            const ProcessResult result = runHostwell({command, L"/settings=" + settings, L"/runAsSystem"});
            if (result.exitCode == 0 && std::wstring(command) == L"install") {
                runHostwell({L"deleteByName", L"/service=Svc"});
            }
            EXPECT_EQ(result.exitCode, 1u) << toUtf8(command + (L" " + entry.first));
            EXPECT_TRUE(result.hasLine(entry.second)) << toUtf8(result.output());
        }
    }
}

TEST_F(ValidateSettings, RefusesAnOutputLogThatIsTheServiceLogOrTheSettingsFileNamingBoth)
{
    const ProcessResult log = validate(service(L"<service-logging file='logs\\service.log'/>") +
                                       minimalExecution(L"<output-log file='LOGS\\.\\Service.log'/>"));
    EXPECT_EQ(log.exitCode, 1u);
    EXPECT_TRUE(log.hasLine(L"<hostwell>/<execution>/<output-log> file=\"LOGS\\.\\Service.log\" is the service log " +
                            dir.file(L"logs\\service.log") + L": give the program's output a file of its own"))
        << toUtf8(log.output());
    const ProcessResult self = validate(service() + minimalExecution(L"<output-log file='app.xml'/>"));
    EXPECT_EQ(self.exitCode, 1u);
    EXPECT_TRUE(self.hasLine(L"<hostwell>/<execution>/<output-log> file=\"app.xml\" is the settings file " + settings +
                             L": give the program's output a file of its own"))
        << toUtf8(self.output());
}

TEST_F(ValidateSettings, FindsABareProgramNameInTheSettingsFolderFirst)
{
    writeBytes(dir.file(L"cmd.exe"), "MZ");
    const ProcessResult local = validate(service(L"<execution><program>cmd.exe</program></execution>"));
    EXPECT_TRUE(local.hasLine(L"[e]: Program:" + dir.file(L"cmd.exe") + L"!~"));
    DeleteFileW(dir.file(L"cmd.exe").c_str());
    const ProcessResult system = validate(service(L"<execution><program>cmd.exe</program></execution>"));
    EXPECT_TRUE(system.hasLine(L"[e]: Program:C:\\windows\\system32\\cmd.exe!~")) << toUtf8(system.output());
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

TEST_F(ValidateSettings, AppliesTheSettingsLoggingOnlyWhenAsked)
{
    const std::wstring body = service(L"<service-logging level='error' file='logs\\service.log'/>") + minimalExecution();
    const ProcessResult plain = validate(body);
    EXPECT_TRUE(plain.hasLine(L"[?] INFO"));
    EXPECT_FALSE(plain.hasLine(L"[?] DEBUG"));

    const ProcessResult applied = validate(body, {L"/initServiceLogging=true"});
    EXPECT_EQ(applied.exitCode, 0u);
    EXPECT_EQ(tagged(applied), std::vector<std::wstring>{L"[?] ERROR"});
    const std::wstring log = readUtf8(dir.file(L"logs\\service.log"));
    EXPECT_NE(log.find(L"RollFileWriter                    [Info] Logging will be redirected to: "), std::wstring::npos);
    EXPECT_NE(log.find(L"[Error] [?] ERROR"), std::wstring::npos);
    EXPECT_EQ(log.find(L"[?] WARN"), std::wstring::npos);

    const ProcessResult debug = validate(service(L"<service-logging level='Debug'/>") + minimalExecution(),
                                         {L"/initServiceLogging=true"});
    EXPECT_TRUE(debug.hasLine(L"ValidateServiceTaskAction        [Debug] [?] DEBUG"));

    const ProcessResult unknown = validate(service(L"<service-logging level=' info'/>") + minimalExecution(),
                                           {L"/initServiceLogging=true"});
    EXPECT_TRUE(unknown.hasLine(L"Unknown log level from the settings file:  info"));
    EXPECT_TRUE(unknown.hasLine(L"[?] INFO"));
}

TEST_F(ValidateSettings, CreatesAMissingWorkDirectoryWithItsParents)
{
    const ProcessResult result = validate(service(minimalExecution(L"<workdir>a/b/c</workdir>")));
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_TRUE(result.hasLine(L"[e]: WorkDir:" + dir.file(L"a\\b\\c") + L"!~"));
    EXPECT_TRUE(directoryExists(dir.file(L"a\\b\\c")));

    writeBytes(dir.file(L"plainfile"), "x");
    const ProcessResult blocked = validate(service(minimalExecution(L"<workdir>plainfile</workdir>")));
    EXPECT_EQ(blocked.exitCode, 1u);
    EXPECT_TRUE(blocked.hasLine(L"Workdir must exist and be directory: " + dir.file(L"plainfile")));
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

TEST_F(ValidateSettings, RefusesProbesAndHealthChecksWithTheValueAndTheAcceptedForm)
{
    const auto refused = [this](const std::wstring& inner, const std::wstring& message) {
        const ProcessResult result = validate(service(minimalExecution(inner)));
        EXPECT_EQ(result.exitCode, 1u) << toUtf8(inner);
        EXPECT_TRUE(result.hasLine(message)) << toUtf8(result.output());
    };
    refused(L"<status-marker><tcp>localhost</tcp></status-marker>",
            L"<tcp>localhost</tcp> in <hostwell>/<execution>/<status-marker> has no port: write host:port, such as "
            L"127.0.0.1:8080 or [::1]:8080");
    refused(L"<health><http>ftp://host/</http></health>",
            L"<http>ftp://host/</http> in <hostwell>/<execution>/<health> does not begin with http:// or https://: "
            L"write a URL such as http://127.0.0.1:8080/health");
    refused(L"<health/>", L"<hostwell>/<execution>/<health> has 0 probes: write one <tcp> or one <http>");
    std::wstring seventy;
    for (int port = 1; port <= 70; ++port) {
        seventy += L"<tcp>127.0.0.1:" + std::to_wstring(port) + L"</tcp>";
    }
    refused(L"<status-marker>" + seventy + L"</status-marker>",
            L"<hostwell>/<execution>/<status-marker> has 70 probes: write at most 16");
    refused(L"<health>" + seventy + L"</health>",
            L"<hostwell>/<execution>/<health> has 70 probes: write one <tcp> or one <http>");
    refused(L"<health failures='0'><tcp>h:1</tcp></health>",
            L"failures \"0\" in <hostwell>/<execution>/<health> is not a whole number from 1 to 1000: write how many "
            L"failed probes in a row make the program unhealthy");
    refused(L"<health interval='0s'><tcp>h:1</tcp></health>",
            L"Duration interval=\"0s\" in <hostwell>/<execution>/<health> is zero: write how long, such as 10s");

    const ProcessResult accepted = validate(service(minimalExecution(
        L"<status-marker timeout='1m'><tcp>[::1]:8080</tcp></status-marker>"
        L"<health interval='5s' timeout='1s' failures='2' grace='30s'><http>https://h/health</http></health>")));
    EXPECT_EQ(accepted.exitCode, 0u) << toUtf8(accepted.output());
    EXPECT_FALSE(accepted.hasLine(L"The timeout of <hostwell>/<execution>/<status-marker> has no effect without a "
                                  L"<started> marker"));
}

TEST_F(ValidateSettings, ReadsAnAsciiFileWhateverEncodingItsDeclarationNames)
{
    writeBytes(settings, "<?xml version='1.0' encoding='koi8-r'?>\n<hostwell><name>Svc</name><description>d"
                         "</description><execution><program>C:\\windows\\system32\\cmd.exe</program></execution>"
                         "</hostwell>");
    const ProcessResult result = validateFile(settings);
    EXPECT_EQ(result.exitCode, 0u) << toUtf8(result.output());
}

TEST_F(ValidateSettings, PrintsHooksEnvironmentFileAndErrorLogAndRefusesTheirMistakesNamingFileAndLine)
{
    const std::wstring environment = dir.file(L"app.env");
    writeBytes(environment, "\xEF\xBB\xBF# secrets\r\n\r\nDB_PASSWORD=\"p4ss #word\" # not shown\r\n");
    const std::wstring hooks = L"<hooks><pre-start timeout='2m'><program>" + CMD + L"</program><arguments>/c exit"
                               L"</arguments></pre-start><post-stop><workdir>after</workdir><program>" + CMD +
                               L"</program></post-stop></hooks>";
    const std::wstring body =
        service() + minimalExecution(L"<environment file='app.env'/><output-log file='app.log' timestamps='true'/>"
                                     L"<error-log file='errors.log'/>" + hooks);
    const ProcessResult result = validate(body);
    ASSERT_EQ(result.exitCode, 0u) << toUtf8(result.output());
    const std::vector<std::wstring> tail = {
        L"[e]: OutputLog:" + dir.file(L"app.log") + L" max-size=3MB keep=3 roll=size compress=none timestamps=true!~",
        L"[e]: ErrorLog:" + dir.file(L"errors.log") + L" max-size=3MB keep=3 roll=size compress=none!~",
        L"[e]: EnvironmentFile:" + environment + L"!~",
        L"[s]: DISABLED:true!~",
        L"[pre-start]: Program:" + CMD + L"!~",
        L"[pre-start]: Arguments:/c exit!~",
        L"[pre-start]: WorkDir:" + dir.path() + L"!~",
        L"[pre-start]: Timeout:2m!~",
        L"[post-stop]: Program:" + CMD + L"!~",
        L"[post-stop]: Arguments:!~",
        L"[post-stop]: WorkDir:" + dir.file(L"after") + L"!~",
        L"[post-stop]: Timeout:1m!~",
    };
    const std::vector<std::wstring> lines = tagged(result);
    ASSERT_GE(lines.size(), tail.size() + 3) << toUtf8(result.output());
    EXPECT_EQ(std::vector<std::wstring>(lines.end() - static_cast<long>(tail.size()) - 3, lines.end() - 3), tail);
    // The name at debug level, never the value.
    const ProcessResult debug = validate(body, {L"/debug"});
    EXPECT_TRUE(debug.contains(L"Environment variable from " + environment + L": DB_PASSWORD"));
    EXPECT_FALSE(debug.contains(L"p4ss")) << toUtf8(debug.output());

    const std::wstring at = L" of the environment file " + environment;
    const std::vector<std::pair<std::string, std::wstring>> refused = {
        {"A=1\n# fine\nJUST_A_NAME\n", L"Line 3" + at + L" has no \"=\": write NAME=value, or start a comment with #"},
        {"A=1\r\n = 2\r\n", L"Line 2" + at + L" has no name before \"=\""},
        {"A='open\n", L"Line 1" + at + L" opens a quoted value that does not end on that line"},
        {"A=1\nB=\"\xC3\x28\"\n", L"Line 2" + at + L" is not UTF-8"},
    };
    for (const auto& entry : refused) {
        writeBytes(environment, entry.first);
        const ProcessResult wrong = validate(service() + minimalExecution(L"<environment file='app.env'/>"));
        EXPECT_EQ(wrong.exitCode, 1u) << entry.first;
        EXPECT_TRUE(wrong.hasLine(entry.second)) << toUtf8(wrong.output());
    }
    const ProcessResult missing = validate(service() + minimalExecution(L"<environment file='none.env'/>"));
    EXPECT_TRUE(missing.hasLine(L"Failed to read the environment file " + dir.file(L"none.env") + L": " +
                                errorText(ERROR_FILE_NOT_FOUND)))
        << toUtf8(missing.output());
    const ProcessResult shared =
        validate(service() + minimalExecution(L"<output-log file='app.log'/><error-log file='.\\APP.log'/>"));
    EXPECT_TRUE(shared.hasLine(L"<hostwell>/<execution>/<error-log> file=\".\\APP.log\" is the output log " +
                               dir.file(L"app.log") + L": give the program's standard error a file of its own"))
        << toUtf8(shared.output());
    EXPECT_TRUE(validate(service() + minimalExecution(L"<error-log file='e.log' timestamps='yes'/>"))
                    .hasLine(L"timestamps=\"yes\" in <hostwell>/<execution>/<error-log>: write true or false"));
    const ProcessResult zero = validate(service() + minimalExecution(L"<hooks><post-start timeout='0s'><program>" +
                                                                      CMD + L"</program></post-start></hooks>"));
    EXPECT_EQ(zero.exitCode, 1u);
    EXPECT_TRUE(zero.hasLine(L"Duration timeout=\"0s\" in <hostwell>/<execution>/<hooks>/<post-start> is zero: write "
                             L"how long the command may run, a whole number and a unit (ms, s, m or h), such as 2m"))
        << toUtf8(zero.output());
}
