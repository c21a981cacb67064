#include <gtest/gtest.h>

#include <vector>

#include "commandline/Argz.h"
#include "commandline/JavaServiceWrapperWeaver.h"
#include "logging/LogLevel.h"
#include "support/LoggingCapture.h"
#include "support/TestFiles.h"

namespace {

Argz makeArgz(std::vector<const wchar_t*> arguments)
{
    arguments.insert(arguments.begin(), L"C:\\svc\\bin\\Hostwell.exe");
    return Argz(static_cast<int>(arguments.size()), arguments.data());
}

}  // namespace

TEST(JavaServiceWrapperWeaver, TheFirstSwitchNamesTheConfigurationUnlessSettingsAreGiven)
{
    std::wstring path = L"untouched";
    EXPECT_EQ(findWrapperConfigArgument(makeArgz({L"-s", L"../a/one.conf", L"-S", L"two.conf"}), path), 0);
    EXPECT_EQ(path, L"..\\a\\one.conf");

    path = L"untouched";
    EXPECT_EQ(findWrapperConfigArgument(makeArgz({L"-s", L"one.conf", L"/SETTINGS=x.xml"}), path), 1);
    EXPECT_EQ(findWrapperConfigArgument(makeArgz({L"-s"}), path), 1);
    EXPECT_EQ(findWrapperConfigArgument(makeArgz({L"-sx", L"one.conf", L"s", L"two.conf"}), path), 1);
    EXPECT_EQ(path, L"untouched");
}

TEST(JavaServiceWrapperWeaver, AnEndMarkerOverlappingItsStartMarkerEnclosesNothing)
{
    TemporaryDirectory dir;
    writeUtf8(dir.file(L"service.xml"), L"<hostwell/>");
    const std::wstring config = dir.file(L"wrapper.conf");
    std::wstring found = L"untouched";

    // The search goes on from the overlapping end marker, whose "###" starts the real marker.
    writeUtf8(config, L"###!!!###!!! Hostwell: service.xml !!!###");
    ASSERT_EQ(findSettingsInWrapperConfig(config, found), 0);
    EXPECT_EQ(found, dir.file(L"service.xml"));

    found = L"untouched";
    writeUtf8(config, L"###!!!### Hostwell: service.xml !!!###");
    EXPECT_EQ(findSettingsInWrapperConfig(config, found), 1);
    writeUtf8(config, L"");
    EXPECT_EQ(findSettingsInWrapperConfig(config, found), 1);
    EXPECT_EQ(found, L"untouched");
}

TEST(JavaServiceWrapperWeaver, UnreadableConfigurationIsReported)
{
    TemporaryDirectory dir;
    LoggingCapture capture(LEVEL_INFO);
    std::wstring found = L"untouched";
    EXPECT_EQ(findSettingsInWrapperConfig(dir.file(L"gone.conf"), found), 1);
    EXPECT_EQ(found, L"untouched");
    EXPECT_TRUE(capture.has(L"Failed to open Java Service Wrapper config file: " + dir.file(L"gone.conf")));
}
