#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/Format.h"
#include "support/ProcessRunner.h"
#include "support/TestFiles.h"

namespace {

const std::wstring BANNER = L"Corvane Hostwell v1.1.730.777";
const std::wstring TRACE = L"/this-is-commandline-weaver-debug=true";
const std::wstring TAG = L"Weaver:JavaServiceWrapper";
const std::wstring EMULATION = L"Running under the enulation of JavaServiceWrapper";
const std::wstring NO_REFERENCE =
    L"Failed to find Hostwell config reference in the Java Service Wrapper config file: ";
const std::wstring GAVE_UP = L"Fialed to find Hostwell config file in JavaServiceWrapper config: ";

std::wstring withSlashes(std::wstring path)
{
    std::replace(path.begin(), path.end(), L'\\', L'/');
    return path;
}

std::wstring repeat(const std::wstring& text, size_t times)
{
    std::wstring result;
    result.reserve(text.size() * times);
    for (size_t i = 0; i < times; ++i) {
        result += text;
    }
    return result;
}

// The arguments as the dispatcher's trace lists them.
std::vector<std::wstring> tracedArguments(const ProcessResult& result)
{
    const std::wstring prefix = L"[T] Argument: ";
    std::vector<std::wstring> arguments;
    for (const std::wstring& line : result.lines()) {
        if (line.compare(0, prefix.size(), prefix) == 0) {
            arguments.push_back(line.substr(prefix.size()));
        }
    }
    return arguments;
}

size_t countLines(const ProcessResult& result, const std::wstring& prefix)
{
    size_t count = 0;
    for (const std::wstring& line : result.lines()) {
        count += line.compare(0, prefix.size(), prefix) == 0 ? 1 : 0;
    }
    return count;
}

std::wstring debugLine(const std::wstring& logger, const std::wstring& message)
{
    std::wstring line = logger;
    line.resize(33, L' ');
    return line + L"[Debug] " + message;
}

class WrapperWeaving : public ::testing::Test {
protected:
    TemporaryDirectory dir;
    const std::wstring config = dir.file(L"wrapper.conf");
    const std::wstring settings = dir.file(L"service.xml");

    void SetUp() override { writeUtf8(settings, L"<hostwell/>"); }

    // Runs the trace with the given arguments after "-s <config>".
    ProcessResult traceWithConfig(const std::wstring& content, std::vector<std::wstring> extra = {})
    {
        writeUtf8(config, content);
        return traceWithConfigFile(extra);
    }

    ProcessResult traceWithConfigFile(std::vector<std::wstring> extra = {})
    {
        std::vector<std::wstring> arguments = {L"-s", config};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        arguments.push_back(TRACE);
        return runHostwell(arguments);
    }

    std::vector<std::wstring> woven(const std::wstring& settingsPath, const std::vector<std::wstring>& incoming) const
    {
        std::vector<std::wstring> arguments = {L"hostwell", L"/settings=" + settingsPath, TAG};
        arguments.insert(arguments.end(), incoming.begin(), incoming.end());
        return arguments;
    }

    std::vector<std::wstring> unchanged(const std::vector<std::wstring>& extra = {}) const
    {
        std::vector<std::wstring> arguments = {L"-s", config};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        arguments.push_back(TRACE);
        return arguments;
    }
};

// A folder beside Hostwell.exe, for paths taken from the executable's folder.
class FolderBesideHostwell {
public:
    FolderBesideHostwell()
        : name_(format(L"weave-%lu", GetCurrentProcessId())), path_(binDirectory() + L"\\" + name_)
    {
        removeTree(path_);
        CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~FolderBesideHostwell() { removeTree(path_); }
    FolderBesideHostwell(const FolderBesideHostwell&) = delete;
    FolderBesideHostwell& operator=(const FolderBesideHostwell&) = delete;

    const std::wstring& name() const { return name_; }
    std::wstring file(const std::wstring& relative) const { return path_ + L"\\" + relative; }

private:
    std::wstring name_;
    std::wstring path_;
};

}  // namespace

TEST_F(WrapperWeaving, AnyCommandBecomesTheServiceCommandWithTheMarkedSettings)
{
    writeUtf8(config, L"wrapper.java.command=java\n# ###!!! Hostwell: service.xml !!!###\nwrapper.logfile=x.log\n");
    const ProcessResult result = runHostwell({L"install", L"-s", config, TRACE});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0u);
    const std::vector<std::wstring> expected = {
        BANNER,
        EMULATION,
        L"Using JavaServiceWrapper configuration file from " + config,
        L"Using Hostwell configuration file: " + settings,
        L"[T] Commandline debug",
        L"",
        L"[T] Executable: Hostwell.exe",
        L"[T] Arguments: 7",
        L"[T] Argument: hostwell",
        L"[T] Argument: /settings=" + settings,
        L"[T] Argument: " + TAG,
        L"[T] Argument: install",
        L"[T] Argument: -s",
        L"[T] Argument: " + config,
        L"[T] Argument: " + TRACE,
        L"[T] DONE",
    };
    EXPECT_EQ(result.lines(), expected);
}

TEST_F(WrapperWeaving, OnlyAnUpperOrLowerCaseSwitchWithAPathAndNoSettingsArgumentWeaves)
{
    writeUtf8(config, L"# ###!!! Hostwell: service.xml !!!###\n");

    const ProcessResult explicitSettings = runHostwell({L"install", L"/settings=a.xml", L"-s", config, TRACE});
    EXPECT_EQ(tracedArguments(explicitSettings),
              (std::vector<std::wstring>{L"install", L"/settings=a.xml", L"-s", config, TRACE}));
    EXPECT_FALSE(explicitSettings.hasLine(EMULATION));

    const ProcessResult switchLast = runHostwell({L"console", TRACE, L"-s"});
    EXPECT_EQ(tracedArguments(switchLast), (std::vector<std::wstring>{L"console", TRACE, L"-s"}));
    EXPECT_FALSE(switchLast.hasLine(EMULATION));

    const ProcessResult upperCase = runHostwell({L"-S", config, TRACE});
    EXPECT_EQ(tracedArguments(upperCase), woven(settings, {L"-S", config, TRACE}));
}

TEST_F(WrapperWeaving, MarkersNeedTheExactKeyAndMayLackBlanks)
{
    const ProcessResult compact = traceWithConfig(L"###!!!Hostwell:service.xml!!!###");
    EXPECT_EQ(tracedArguments(compact), woven(settings, unchanged()));

    const ProcessResult lowerCase = traceWithConfig(L"# ###!!! hostwell: service.xml !!!###\n");
    EXPECT_EQ(tracedArguments(lowerCase), unchanged());
    EXPECT_TRUE(lowerCase.hasLine(NO_REFERENCE + config));
    EXPECT_TRUE(lowerCase.hasLine(GAVE_UP + config));
}

TEST_F(WrapperWeaving, MissingFirstFileIsSkippedForTheNextMarker)
{
    const ProcessResult result = traceWithConfig(
        L"# ###!!! Hostwell: missing.xml !!!###\n# ###!!! Hostwell: service.xml !!!###\n", {L"/debug"});
    EXPECT_EQ(tracedArguments(result), woven(settings, unchanged({L"/debug"})));
    EXPECT_TRUE(result.hasLine(debugLine(L"JavaServiceWrapperWeaver", L"Fialed to find Hostwell config file: missing.xml")));
}

TEST_F(WrapperWeaving, StartMarkerWithoutItsEndMarkerEndsTheSearch)
{
    // The second marker's end closes the first, unfinished one.
    const ProcessResult swallowed =
        traceWithConfig(L"# ###!!! unfinished\n# ###!!! Hostwell: service.xml !!!###\n");
    EXPECT_EQ(tracedArguments(swallowed), unchanged());
    EXPECT_TRUE(swallowed.hasLine(NO_REFERENCE + config));

    const ProcessResult unterminated = traceWithConfig(L"# ###!!! Hostwell: service.xml\n");
    EXPECT_EQ(tracedArguments(unterminated), unchanged());
    EXPECT_TRUE(unterminated.hasLine(NO_REFERENCE + config));
}

TEST_F(WrapperWeaving, ForwardSlashesBecomeBackslashes)
{
    CreateDirectoryW(dir.file(L"conf").c_str(), nullptr);
    const std::wstring nested = dir.file(L"conf\\service.xml");
    writeUtf8(nested, L"<hostwell/>");
    writeUtf8(config, L"# ###!!! Hostwell: conf/service.xml !!!###\n");
    const ProcessResult result = runHostwell({L"-s", withSlashes(config), TRACE});
    EXPECT_TRUE(result.hasLine(L"Using JavaServiceWrapper configuration file from " + config));
    EXPECT_EQ(tracedArguments(result), woven(nested, {L"-s", withSlashes(config), TRACE}));
}

TEST(WrapperWeavingPaths, ConfigurationFromTheExecutablesFolderAndSettingsFromTheConfigurationsFolder)
{
    FolderBesideHostwell folder;
    CreateDirectoryW(folder.file(L"conf").c_str(), nullptr);
    CreateDirectoryW(folder.file(L"settings").c_str(), nullptr);
    writeUtf8(folder.file(L"conf\\wrapper.conf"), L"# ###!!! Hostwell: ../settings/service.xml !!!###\n");
    writeUtf8(folder.file(L"settings\\service.xml"), L"<hostwell/>");
    // The current folder is elsewhere: neither path may depend on it.
    TemporaryDirectory elsewhere;
    ProcessOptions options;
    options.workDir = elsewhere.path();

    const std::wstring relative = folder.name() + L"/conf/wrapper.conf";
    const ProcessResult result = runHostwell({L"-s", relative, TRACE}, options);
    EXPECT_TRUE(result.hasLine(L"Using JavaServiceWrapper configuration file from " + folder.file(L"conf\\wrapper.conf")));
    EXPECT_EQ(tracedArguments(result),
              (std::vector<std::wstring>{L"hostwell", L"/settings=" + folder.file(L"settings\\service.xml"), TAG,
                                         L"-s", relative, TRACE}));
}

TEST(WrapperWeavingPaths, TheBundledExampleNamesTheExampleSettings)
{
    const ProcessResult result = runHostwell({L"-s", L"wrapper.conf", TRACE});
    EXPECT_EQ(tracedArguments(result),
              (std::vector<std::wstring>{L"hostwell", L"/settings=" + binDirectory() + L"\\example-service.xml", TAG,
                                         L"-s", L"wrapper.conf", TRACE}));
}

TEST_F(WrapperWeaving, ConfigurationThatIsMissingOrAFolderLeavesTheArgumentsUnchanged)
{
    for (const std::wstring& path : {dir.path(), dir.file(L"missing.conf")}) {
        const ProcessResult result = runHostwell({L"-s", path, TRACE});
        EXPECT_EQ(result.exitCode, 0u);
        EXPECT_TRUE(result.hasLine(EMULATION));
        EXPECT_TRUE(result.hasLine(L"Failed to resolve Java Service Wrapper settings path: " + path));
        EXPECT_EQ(tracedArguments(result), (std::vector<std::wstring>{L"-s", path, TRACE}));
    }
}

TEST_F(WrapperWeaving, MarkerNamingAFolderIsSkipped)
{
    CreateDirectoryW(dir.file(L"conf").c_str(), nullptr);
    const ProcessResult result = traceWithConfig(L"# ###!!! Hostwell: conf !!!###\n");
    EXPECT_TRUE(result.hasLine(L"File does not exist: " + dir.file(L"conf")));
    EXPECT_TRUE(result.hasLine(L"Failed to resolve Hostwell file from: conf"));
    EXPECT_TRUE(result.hasLine(GAVE_UP + config));
    EXPECT_EQ(tracedArguments(result), unchanged());
}

TEST_F(WrapperWeaving, ThousandsOfMarkersNamingMissingFilesAreEachTriedOnce)
{
    std::wstring content;
    for (int i = 0; i < 3000; ++i) {
        content += format(L"# ###!!! Hostwell: missing-%d.xml !!!###\n", i);
    }
    const ProcessResult allMissing = traceWithConfig(content);
    ASSERT_TRUE(allMissing.finished);
    EXPECT_EQ(countLines(allMissing, L"Failed to resolve Hostwell file from: missing-"), 3000u);
    EXPECT_TRUE(allMissing.hasLine(NO_REFERENCE + config));
    EXPECT_EQ(tracedArguments(allMissing), unchanged());

    const ProcessResult lastExists = traceWithConfig(content + L"###!!! Hostwell: service.xml !!!###");
    EXPECT_EQ(tracedArguments(lastExists), woven(settings, unchanged()));
}

TEST_F(WrapperWeaving, TwentyMegabytesOfMarkersAreSearchedInOnePass)
{
    // A search that started again from the top for every marker, or copied the
    // rest of the file for overlapping markers, would not finish.
    const std::wstring skipped = repeat(L"###!!! hostwell: x !!!###\n", 800000);
    const ProcessResult lowerCaseKeys = traceWithConfig(skipped + L"###!!! Hostwell: service.xml !!!###\n");
    ASSERT_TRUE(lowerCaseKeys.finished);
    EXPECT_EQ(tracedArguments(lowerCaseKeys), woven(settings, unchanged()));

    const ProcessResult overlapping = traceWithConfig(repeat(L"###!!!", 3500000) + L" Hostwell: service.xml !!!###");
    ASSERT_TRUE(overlapping.finished);
    EXPECT_EQ(tracedArguments(overlapping), woven(settings, unchanged()));

    const ProcessResult noMarker = traceWithConfig(repeat(L"wrapper.java.additional.1=-Xss4m\n", 650000));
    ASSERT_TRUE(noMarker.finished);
    EXPECT_TRUE(noMarker.hasLine(NO_REFERENCE + config));
    EXPECT_EQ(tracedArguments(noMarker), unchanged());
}

TEST_F(WrapperWeaving, BinaryContentIsSearchedLikeText)
{
    std::string junk;
    for (int i = 0; i < 4096; ++i) {
        junk.push_back(static_cast<char>(i * 7 % 256));
    }
    writeBytes(config, junk);
    const ProcessResult noMarker = traceWithConfigFile();
    EXPECT_TRUE(noMarker.hasLine(NO_REFERENCE + config));
    EXPECT_EQ(tracedArguments(noMarker), unchanged());

    // Zero bytes and invalid UTF-8 before the marker do not end the search.
    writeBytes(config, junk + "\n###!!! Hostwell: service.xml !!!###\n" + junk);
    const ProcessResult marked = traceWithConfigFile();
    EXPECT_EQ(tracedArguments(marked), woven(settings, unchanged()));
}

TEST_F(WrapperWeaving, Utf16IsReadWithItsByteOrderMarkOnly)
{
    const std::wstring text = L"# ###!!! Hostwell: service.xml !!!###\r\n";
    std::string littleEndian;
    for (wchar_t c : text) {
        littleEndian.push_back(static_cast<char>(c & 0xFF));
        littleEndian.push_back(static_cast<char>(c >> 8));
    }
    writeBytes(config, "\xFF\xFE" + littleEndian);
    EXPECT_EQ(tracedArguments(traceWithConfigFile()), woven(settings, unchanged()));

    writeBytes(config, littleEndian);
    const ProcessResult withoutMark = traceWithConfigFile();
    EXPECT_TRUE(withoutMark.hasLine(NO_REFERENCE + config));
    EXPECT_EQ(tracedArguments(withoutMark), unchanged());
}
