#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/ProcessRunner.h"

namespace {

const std::wstring BANNER = L"Corvane Hostwell v1.1.730.777";

const std::vector<std::wstring> USAGE_HEAD = {
    L"",
    L"Usage:",
    L"  Hostwell.exe <command> [/debug] [/logfile=<log file>] ",
    L"",
    L"  where <command> could be one of the following: ",
    L"    help",
    L"      shows this usage instructions",
    L"",
};

const std::vector<std::wstring> INSTALL_BLOCK = {
    L"    install /settings=<path to settings file> /user=<user> [/domain=<domain>] /password=<password> [<extra>]",
    L"      installs service to the system to run under given user/password,",
    L"      where <extra> may contain the following:",
    L"        /autorun=false|delayed",
    L"        /checkUserAccount=false",
    L"        /giveUserRights=false",
    L"        /changeDACL=false",
    L"",
    L"    install /settings=<path to settings file> /runAsSystem [/autorun=false|delayed]",
    L"      installs service to the system to run under local system",
    L"",
};

const std::vector<std::wstring> LIFECYCLE_BLOCKS = {
    L"    start /settings=<path to settings file>|/service=<service name> [/wait=<seconds>]",
    L"      starts the service and waits until it runs",
    L"",
    L"    stop /settings=<path to settings file>|/service=<service name> [/wait=<seconds>]",
    L"      stops the service and waits until it has stopped",
    L"",
    L"    restart /settings=<path to settings file>|/service=<service name> [/wait=<seconds>]",
    L"      stops the service and starts it again",
    L"",
    L"    status /settings=<path to settings file>|/service=<service name> [/format=json|prometheus]",
    L"      shows the state of the service and its program; exit code 0 when it runs, 3 when it does not",
    L"",
};

std::vector<std::wstring> publicBlocks()
{
    std::vector<std::wstring> lines = INSTALL_BLOCK;
    const std::vector<std::wstring> rest = {
        L"    delete /settings=<path to settings file>",
        L"      removes installed service",
        L"",
        L"    console /settings=<path to settings file>",
        L"      starts service process in console window",
        L"",
        L"    checkUser /user=<user> [/domain=<domain>] /password=<password>",
        L"      checks if user has enough rights to logon as service",
        L"",
        L"    grantLogon /user=<user> [/domain=<domain>] /password=<password>",
        L"      grants user 'Logon as Service' privilege to user if needed",
        L"",
        L"    grantService /settings=<path to settings file> /user=<user> [/domain=<domain>] /password=<password>",
        L"      gives user rights to start/stop the service",
        L"",
        L"    refresh /settings=<path to settings file>",
        L"      applies display name, description, dependencies and shutdown time to installed service",
        L"",
    };
    lines.insert(lines.end(), rest.begin(), rest.end());
    lines.insert(lines.end(), LIFECYCLE_BLOCKS.begin(), LIFECYCLE_BLOCKS.end());
    return lines;
}

std::vector<std::wstring> concat(std::vector<std::wstring> a, const std::vector<std::wstring>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The output lines without the empty element after the final line feed.
std::vector<std::wstring> outputLines(const ProcessResult& result)
{
    return result.lines();
}

std::wstring debugPrefix(const std::wstring& logger, const std::wstring& tag)
{
    std::wstring prefix = logger;
    prefix.resize(33, L' ');
    return prefix + tag;
}

}  // namespace

TEST(CommandLine, NoArgumentsPrintsBannerWarningAndUsageAndFails)
{
    const ProcessResult result = runHostwell({});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1u);
    const std::vector<std::wstring> expected =
        concat(concat({BANNER, L"Incorrect usage."}, USAGE_HEAD), publicBlocks());
    EXPECT_EQ(outputLines(result), expected);
}

TEST(CommandLine, HelpShowsPublicCommandsAndSucceeds)
{
    const ProcessResult result = runHostwell({L"help"});
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_EQ(outputLines(result), concat(concat({BANNER}, USAGE_HEAD), publicBlocks()));
}

TEST(CommandLine, HelpWithDebugShowsAllBlocksWithLoggerPrefixes)
{
    const ProcessResult result = runHostwell({L"help", L"/debug"});
    EXPECT_EQ(result.exitCode, 0u);
    std::vector<std::wstring> expected = {
        BANNER,
        debugPrefix(L"ConsoleCommandsRunner", L"[Debug] ") + L"Debug logging is enabled",
        debugPrefix(L"ConsoleCommandsRunner", L"[Debug] ") + L"Selected command: help",
    };
    expected = concat(expected, USAGE_HEAD);
    expected = concat(expected, {L"    hostwell", L"      internal, called to run as windows service", L""});
    expected = concat(expected, INSTALL_BLOCK);
    expected = concat(expected, {L"    delete /settings=<path to settings file>", L"      removes installed service", L""});
    expected = concat(expected, {L"    deleteByName /service=<service name>", L"      removes installed service by given name", L""});
    const std::vector<std::wstring> pub = publicBlocks();
    // The public blocks from console to refresh follow in table order.
    expected.insert(expected.end(), pub.begin() + static_cast<long>(INSTALL_BLOCK.size()) + 3,
                    pub.end() - static_cast<long>(LIFECYCLE_BLOCKS.size()));
    expected = concat(expected, {
        L"    validate-create-settings /settings=<path to settings file>", L"      verifies create service command", L"",
        L"    validate-settings /settings=<path to settings file>", L"      validates command parse", L"",
        L"    validate-sid /settings=<path to settings file>", L"      dumps user SID to console", L"",
        L"    log-event /severity=<severity> /message=<message>", L"      Adds message to the system Event Log",
        L"      severity = [success|info|warn|error]", L"",
    });
    expected = concat(expected, LIFECYCLE_BLOCKS);
    expected = concat(expected, {
        debugPrefix(L"HostwellRunner", L"[Debug] ") + L"Exited with code 0",
    });
    EXPECT_EQ(outputLines(result), expected);
}

TEST(CommandLine, CommandWordsAreCaseSensitiveAndMustComeFirst)
{
    for (const std::vector<std::wstring>& arguments :
         std::vector<std::vector<std::wstring>>{{L"HELP"}, {L"Install"}, {L"/debug", L"install"}}) {
        const ProcessResult result = runHostwell(arguments);
        EXPECT_EQ(result.exitCode, 1u) << arguments[0];
        const std::vector<std::wstring> lines = outputLines(result);
        ASSERT_GE(lines.size(), 3u);
        EXPECT_NE(std::find(lines.begin(), lines.end(),
                            (arguments[0] == L"/debug" ? debugPrefix(L"ConsoleCommandsRunner", L" [Warn] ") : L"") +
                                L"Unknown command: " + arguments[0]),
                  lines.end())
            << arguments[0];
        EXPECT_TRUE(result.hasLine(L"Usage:"));
    }
}

TEST(CommandLine, TraceModePrintsTheArgumentListAndRunsNothing)
{
    const ProcessResult result =
        runHostwell({L"install", L"/this-is-commandline-weaver-debug=TRUE"});
    EXPECT_EQ(result.exitCode, 0u);
    const std::vector<std::wstring> expected = {
        BANNER,
        L"[T] Commandline debug",
        L"",
        L"[T] Executable: Hostwell.exe",
        L"[T] Arguments: 2",
        L"[T] Argument: install",
        L"[T] Argument: /this-is-commandline-weaver-debug=TRUE",
        L"[T] DONE",
    };
    EXPECT_EQ(outputLines(result), expected);
}

TEST(CommandLine, DebugServiceFlagIsAnnouncedOnAnyCommand)
{
    const ProcessResult result = runHostwell({L"help", L"/debugservice"});
    EXPECT_EQ(result.exitCode, 0u);
    ASSERT_GE(outputLines(result).size(), 2u);
    EXPECT_EQ(outputLines(result)[1], L"Service functions are mocked");
}

TEST(CommandLine, OddArgumentsNeverCrash)
{
    const std::wstring huge(30000, L'x');
    const std::vector<std::vector<std::wstring>> cases = {
        {L""},
        {L"", L""},
        {huge},
        {L"help", L"/settings=" + huge},
        {L"\u00e9t\u00e9\u4e2d"},
        {L"/"},
        {L"="},
        {L"help", L"/", L"=", L"/=", L"/debug="},
    };
    for (const std::vector<std::wstring>& arguments : cases) {
        const ProcessResult result = runHostwell(arguments);
        ASSERT_TRUE(result.finished);
        const bool help = arguments[0] == L"help";
        EXPECT_EQ(result.exitCode, help ? 0u : 1u) << arguments[0].substr(0, 20);
        EXPECT_EQ(outputLines(result)[0], BANNER);
        if (!help) {
            EXPECT_TRUE(result.hasLine(L"Unknown command: " + arguments[0])) << arguments[0].substr(0, 20);
        }
    }
}

TEST(CommandLine, NonAsciiCommandWordIsEchoedIntact)
{
    const ProcessResult result = runHostwell({L"\u00e9t\u00e9\u4e2d\U0001F600"});
    EXPECT_TRUE(result.hasLine(L"Unknown command: \u00e9t\u00e9\u4e2d\U0001F600"));
}
