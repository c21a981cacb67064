#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/TextConversion.h"
#include "support/ProcessRunner.h"
#include "support/ServiceTestCase.h"
#include "support/TestFiles.h"
#include "support/TestService.h"

// Mistakes in the settings file and on the command line, as each command that
// reads the settings shows them.

namespace {

const std::vector<std::wstring> COMMANDS = {L"validate-settings", L"validate-create-settings", L"console",
                                            L"install"};

class SettingsMistakes : public ServiceTestCase {
protected:
    std::wstring program = helperPath(L"hwtestprog.exe");

    // A settings file that runs the test program with `arguments`; `execution`
    // follows inside <execution>, `service` before it.
    void writeSettingsText(const std::wstring& arguments, const std::wstring& execution = L"",
                           const std::wstring& service = L"")
    {
        writeUtf8(settings, L"<hostwell><name>" + name + L"</name><description>d</description>" + service +
                                L"<execution><program>" + program + L"</program><arguments>" + arguments +
                                L"</arguments>" + execution + L"</execution></hostwell>");
    }

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

    static int count(const ProcessResult& result, const std::wstring& line)
    {
        int found = 0;
        for (const std::wstring& each : result.lines()) {
            found += each == line ? 1 : 0;
        }
        return found;
    }

    static std::vector<std::wstring> linesStartingWith(const ProcessResult& result, const std::wstring& start)
    {
        std::vector<std::wstring> found;
        for (const std::wstring& line : result.lines()) {
            if (line.compare(0, start.size(), start) == 0) {
                found.push_back(line);
            }
        }
        return found;
    }
};

}  // namespace

TEST_F(SettingsMistakes, UnknownNamesAreWarnedAboutOnceWithTheirLineAndTheNameMeant)
{
    writeUtf8(settings, L"<?xml version=\"1.0\"?>\n"
                        L"<hostwell xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance'"
                        L" xsi:noNamespaceSchemaLocation='hostwell.xsd' xsi:schemaLocation='x'>\n"
                        L"  <name>" + name + L"</name><description>d</description>\n"
                        L"  <service-logging level='debug' file='logs\\service.log'/>\n"
                        L"  <service-loging level='info'/>\n"
                        L"  <execution><program>" + program + L"</program><arguments>text ran</arguments>\n"
                        L"    <argument>x</argument><termination timout='0.1' console-event='none'/>\n"
                        L"    <sleep-first><program/></sleep-first>\n"
                        L"  </execution>\n"
                        L"</hostwell>\n");
    const std::vector<std::wstring> warnings = {
        L"Unknown attribute xsi:schemaLocation of <hostwell> at line 2",
        L"Unknown element <service-loging> at line 5 (did you mean <service-logging>?)",
        L"Unknown element <argument> at line 7 (did you mean <arguments>?)",
        L"Unknown attribute timout of <termination> at line 7 (did you mean timeout?)",
        L"Unknown element <sleep-first> at line 8",
    };
    for (const std::wstring& command : COMMANDS) {
        const ProcessResult result = run(command);
        EXPECT_EQ(result.exitCode, 0u) << toUtf8(command + L"\n" + result.output());
        EXPECT_EQ(linesStartingWith(result, L"Unknown "), warnings) << toUtf8(command);
    }
    EXPECT_TRUE(run(L"console").hasLine(L"ran"));

    // The service writes them to its log.
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    service.waitFor(SERVICE_STOPPED);
    for (const std::wstring& warning : warnings) {
        EXPECT_TRUE(logHas(L"[Warn] " + warning)) << toUtf8(warning + L"\n" + retainedLog());
    }
}

TEST_F(SettingsMistakes, NumbersMustBeNumbersAsAWholeAndAnUnknownLogLevelIsAWarning)
{
    const std::wstring notANumber = L"Timeout \"1,5\" in <hostwell>/<execution>/<termination> is not a number: "
                                    L"write minutes with a decimal point, such as 1.5";
    writeSettingsText(L"text ran", L"<termination timeout='1,5'/>");
    for (const std::wstring& command : COMMANDS) {
        const ProcessResult result = run(command);
        EXPECT_EQ(result.exitCode, 1u) << toUtf8(command);
        EXPECT_TRUE(result.hasLine(notANumber)) << toUtf8(command + L"\n" + result.output());
        EXPECT_FALSE(result.hasLine(L"ran"));
    }
    const std::vector<std::pair<std::wstring, std::wstring>> refused = {
        {L"1.5abc", L"Timeout \"1.5abc\" in <hostwell>/<execution>/<termination> is not a number: write minutes "
                    L"with a decimal point, such as 1.5"},
        {L" 12 minutes ", L"Timeout \"12 minutes\" in <hostwell>/<execution>/<termination> is not a number: write "
                          L"minutes with a decimal point, such as 1.5"},
        {L"0x10", L"Failed to parse timeout value: 0x10"},
    };
    for (const auto& entry : refused) {
        writeSettingsText(L"text ran", L"<termination timeout='" + entry.first + L"'/>");
        const ProcessResult result = run(L"validate-settings");
        EXPECT_EQ(result.exitCode, 1u);
        EXPECT_TRUE(result.hasLine(entry.second)) << toUtf8(result.output());
    }

    writeSettingsText(L"text ran", L"", L"<service-logging level='verbose'/>");
    for (const std::wstring& command : COMMANDS) {
        const ProcessResult result = run(command);
        EXPECT_EQ(result.exitCode, 0u) << toUtf8(command);
        EXPECT_EQ(count(result, L"Unknown log level \"verbose\" in <hostwell>/<service-logging>: write debug, info, "
                                L"warn or error"),
                  1)
            << toUtf8(command + L"\n" + result.output());
    }
}

TEST_F(SettingsMistakes, AnEmptyDependencyIsRefusedByEveryCommandAndByTheService)
{
    writeSettingsText(L"text ran", L"",
                      L"<dependencies>\n<service>Tcpip</service>\n<service> </service></dependencies>");
    const std::wstring refusal =
        L"Empty <service> in <hostwell>/<dependencies> at line 3: write the name of a service that must run first";
    for (const std::wstring& command : COMMANDS) {
        const ProcessResult result = run(command);
        EXPECT_EQ(result.exitCode, 1u) << toUtf8(command);
        EXPECT_TRUE(result.hasLine(refusal)) << toUtf8(command + L"\n" + result.output());
        EXPECT_FALSE(result.hasLine(L"ran"));
    }
    TestService service(name, hostwellArguments());
    service.start();
    const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED);
    EXPECT_EQ(stopped.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_NE(stopped.dwWin32ExitCode, 0u);
}

TEST_F(SettingsMistakes, OptionsNoCommandReadsAndBooleansNeitherTrueNorFalseAreWarnedAbout)
{
    writeSettingsText(L"text ran");
    const std::vector<std::wstring> mistakes = {L"/autostrat=false", L"/runasystem", L"/autorun=yes", L"/debug=true",
                                                L"/pasword=secret"};
    const std::vector<std::wstring> warnings = {
        L"Unknown option /autostrat= (did you mean /autostart=?)",
        L"Unknown option /runasystem (did you mean /runAsSystem?)",
        L"/autorun=yes counts as false; write true, false or delayed",
        L"/debug=true takes no value: write /debug",
        L"Unknown option /pasword= (did you mean /password=?)",
    };
    for (const std::wstring& command : COMMANDS) {
        const ProcessResult result = run(command, mistakes);
        EXPECT_EQ(result.exitCode, 0u) << toUtf8(command + L"\n" + result.output());
        for (const std::wstring& warning : warnings) {
            EXPECT_EQ(count(result, warning), 1) << toUtf8(command + L": " + warning);
        }
        EXPECT_FALSE(result.contains(L"secret"));
    }
    // A boolean keeps its meaning: anything but true is false.
    EXPECT_TRUE(run(L"validate-create-settings", mistakes).hasLine(L"[j]: IsAutostart:false!~"));

    const std::vector<std::wstring> everyKnownOption = {
        L"/AUTORUN=True", L"/autostart=FALSE", L"/checkUserAccount=false", L"/GiveUserRights=true",
        L"/changeDACL=false", L"/initServiceLogging=false", L"/user=u", L"/domain=d", L"/password=p",
        L"/service=s", L"/severity=info", L"/message=m", L"/this-is-commandline-weaver-debug=false",
    };
    EXPECT_EQ(run(L"validate-settings", everyKnownOption).lines(), run(L"validate-settings").lines());

    ProcessOptions options;
    options.workDir = dir.path();
    const ProcessResult spaced = runHostwell({L"validate-settings", L"/settings", L"app.xml"}, options);
    EXPECT_EQ(spaced.exitCode, 1u);
    EXPECT_TRUE(spaced.hasLine(L"/settings needs a value: write /settings=<file>")) << toUtf8(spaced.output());
}

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
        {"<?xml version='1.0' encoding='KOI8-R'?>\n<hostwell><name>\xF0\xD2</name></hostwell>",
         L"Settings file " + settings + L" names the encoding koi8-r in its XML declaration, which is not supported "
                                       L"(save it as UTF-8, windows-1252 or iso-8859-1 and name that encoding, or as "
                                       L"UTF-16 with a byte-order mark)"},
        {"<hostwell>\n  <name>x</name>\n  <description a='b'>cut&#0;here</description>\n</hostwell>",
         L"Failed to parse document. a value holds the character 0 (written &#0;) at line 3, column 22 in " +
             settings},
        {std::string("\xFF\xFE\0\0<\0\0\0", 8),
         L"Settings file " + settings + L" is UTF-32, which is not supported (save it as UTF-8, or as UTF-16 with a "
                                       L"byte-order mark)"},
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

TEST_F(SettingsMistakes, WorkDirectoriesAndCommandLinesTooLongForCreateProcessAreRefused)
{
    const auto workDir = [this](size_t length) {
        return dir.path() + L"\\" + std::wstring(length - dir.path().size() - 1, L'w');
    };
    const std::wstring tooLong = L"Work directory is too long for CreateProcess (259 characters, at most 258): ";
    writeSettingsText(L"text ran", L"<workdir>" + workDir(259) + L"</workdir>");
    for (const std::wstring& command : COMMANDS) {
        const ProcessResult result = run(command);
        EXPECT_EQ(result.exitCode, 1u) << toUtf8(command);
        EXPECT_TRUE(result.hasLine(tooLong + workDir(259))) << toUtf8(command + L"\n" + result.output());
    }
    writeSettingsText(L"text ran", L"<workdir>" + workDir(258) + L"</workdir>");
    EXPECT_TRUE(run(L"console").hasLine(L"ran"));
    writeSettingsText(L"text ran", L"<termination><execution><program>" + program + L"</program><workdir>" +
                                       workDir(259) + L"</workdir></execution></termination>");
    EXPECT_TRUE(run(L"validate-settings").hasLine(tooLong + workDir(259)));

    // The command line is the quoted program, a blank and the arguments.
    const size_t aroundArguments = program.size() + 3;
    writeSettingsText(std::wstring(32766 - aroundArguments, L'a'));
    EXPECT_EQ(run(L"validate-settings").exitCode, 0u);
    writeSettingsText(std::wstring(32767 - aroundArguments, L'a'));
    for (const std::wstring& command : COMMANDS) {
        const ProcessResult result = run(command);
        EXPECT_EQ(result.exitCode, 1u) << toUtf8(command);
        EXPECT_TRUE(result.hasLine(L"Command line of " + program +
                                   L" is too long for CreateProcess (32767 characters, at most 32766)"))
            << toUtf8(command + L"\n" + result.output().substr(0, 2000));
    }
}
