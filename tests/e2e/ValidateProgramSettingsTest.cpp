#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "common/TextConversion.h"
#include "logging/ErrorText.h"
#include "support/ProcessRunner.h"
#include "support/TestFiles.h"
#include "support/ValidateSettingsTestCase.h"

// validate-settings on what <execution> says of the program: how it stops and
// restarts, what it may use, its output encoding, environment, probes and hooks.

using ValidateSettings = ValidateSettingsTestCase;

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

TEST_F(ValidateSettings, FindsABareProgramNameInTheSettingsFolderFirst)
{
    writeBytes(dir.file(L"cmd.exe"), "MZ");
    const ProcessResult local = validate(service(L"<execution><program>cmd.exe</program></execution>"));
    EXPECT_TRUE(local.hasLine(L"[e]: Program:" + dir.file(L"cmd.exe") + L"!~"));
    DeleteFileW(dir.file(L"cmd.exe").c_str());
    const ProcessResult system = validate(service(L"<execution><program>cmd.exe</program></execution>"));
    EXPECT_TRUE(system.hasLine(L"[e]: Program:C:\\windows\\system32\\cmd.exe!~")) << toUtf8(system.output());
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
