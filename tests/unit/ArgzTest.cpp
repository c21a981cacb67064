#include <gtest/gtest.h>

#include <vector>

#include "commandline/Argz.h"

namespace {

Argz makeArgz(std::vector<const wchar_t*> arguments)
{
    arguments.insert(arguments.begin(), L"C:\\tools\\Hostwell.exe");
    return Argz(static_cast<int>(arguments.size()), arguments.data());
}

}  // namespace

TEST(Argz, BuildsFromArgvWithDefaultsForMissingEntries)
{
    const Argz none(0, nullptr);
    EXPECT_EQ(none.count(), 0);
    EXPECT_EQ(none.executableName(), L"Hostwell.exe");

    const wchar_t* withNull[] = {L"prog.exe", nullptr, L"x"};
    const Argz nulls(3, withNull);
    EXPECT_EQ(nulls.count(), 2);
    EXPECT_EQ(nulls.arg(0), L"");
    EXPECT_EQ(nulls.arg(1), L"x");
    EXPECT_EQ(nulls.arg(-1), L"");
    EXPECT_EQ(nulls.arg(2), L"");
}

TEST(Argz, ExecutableNameUsesTheLastSeparatorOfEitherKind)
{
    EXPECT_EQ(executableNameOf(L"C:\\tools\\Hostwell.exe"), L"Hostwell.exe");
    EXPECT_EQ(executableNameOf(L"C:/tools/Hostwell.exe"), L"Hostwell.exe");
    EXPECT_EQ(executableNameOf(L"C:\\tools/bin\\Hostwell.exe"), L"Hostwell.exe");
    EXPECT_EQ(executableNameOf(L"C:/tools\\bin/Hostwell.exe"), L"Hostwell.exe");
    EXPECT_EQ(executableNameOf(L"Hostwell.exe"), L"Hostwell.exe");
    EXPECT_EQ(executableNameOf(L"\\Hostwell.exe"), L"\\Hostwell.exe");
}

TEST(Argz, FindsKeyValueArgumentsIgnoringKeyCaseAndKeepingValueCase)
{
    const Argz args = makeArgz({L"install", L"/SETTINGS=C:\\Dir\\App.xml", L"/settings=second",
                                L"/eq=a=b", L"/settingsfile=x", L"/empty="});
    std::wstring value = L"untouched";
    EXPECT_TRUE(args.getValue(L"settings", value));
    EXPECT_EQ(value, L"C:\\Dir\\App.xml");
    EXPECT_TRUE(args.getValue(L"eq", value));
    EXPECT_EQ(value, L"a=b");
    EXPECT_TRUE(args.getValue(L"empty", value));
    EXPECT_EQ(value, L"");

    value = L"untouched";
    EXPECT_FALSE(args.getValue(L"settingsf", value));
    EXPECT_FALSE(args.getValue(L"user", value));
    EXPECT_EQ(value, L"untouched");

    const Argz flagOnly = makeArgz({L"/settings"});
    EXPECT_FALSE(flagOnly.getValue(L"settings", value));
}

TEST(Argz, ReadsBooleansAsTrueOnlyForTheWordTrue)
{
    const Argz args = makeArgz({L"/autorun=TRUE", L"/a=yes", L"/b=", L"/c=1", L"/d=false", L"/e=True"});
    EXPECT_TRUE(args.getBool(L"autorun", false));
    EXPECT_FALSE(args.getBool(L"a", true));
    EXPECT_FALSE(args.getBool(L"b", true));
    EXPECT_FALSE(args.getBool(L"c", true));
    EXPECT_FALSE(args.getBool(L"d", true));
    EXPECT_TRUE(args.getBool(L"e", false));
    EXPECT_TRUE(args.getBool(L"missing", true));
    EXPECT_FALSE(args.getBool(L"missing", false));
}

TEST(Argz, MatchesFlagsWholeAndWithoutCase)
{
    const Argz args = makeArgz({L"/Debug", L"/debugservice=true", L"/RUNASSYSTEM"});
    EXPECT_TRUE(args.isDebug());
    EXPECT_FALSE(args.isDebugService());
    EXPECT_TRUE(args.hasFlag(L"/runAsSystem"));
    EXPECT_FALSE(makeArgz({L"/debug=true"}).isDebug());
}

TEST(Argz, CopiesDropOrPrependArgumentsWithoutChangingTheSource)
{
    const Argz args = makeArgz({L"install", L"/a=1", L"/b=2"});
    const Argz rest(args, 1);
    EXPECT_EQ(rest.count(), 2);
    EXPECT_EQ(rest.arg(0), L"/a=1");
    EXPECT_EQ(rest.executableName(), L"Hostwell.exe");
    EXPECT_EQ(Argz(args, 5).count(), 0);
    EXPECT_EQ(Argz(args, 0).count(), 3);

    const Argz front(L"hostwell", args);
    EXPECT_EQ(front.count(), 4);
    EXPECT_EQ(front.arg(0), L"hostwell");
    EXPECT_EQ(front.arg(1), L"install");
    EXPECT_EQ(args.count(), 3);
}

TEST(Argz, MakesLogFileArgumentAbsoluteOnlyWhenPresent)
{
    std::wstring path = L"stale";
    EXPECT_FALSE(makeArgz({L"/debug"}).getLogFileArgument(path));
    EXPECT_EQ(path, L"");

    EXPECT_TRUE(makeArgz({L"/logfile=C:\\logs\\..\\x.log"}).getLogFileArgument(path));
    EXPECT_EQ(path, L"C:\\x.log");

    const std::wstring tooLong = L"/LogFile=C:\\" + std::wstring(70000, L'a');
    EXPECT_FALSE(makeArgz({tooLong.c_str()}).getLogFileArgument(path));
    EXPECT_EQ(path, L"");
}

TEST(Argz, BuildsArgumentsAgain)
{
    EXPECT_EQ(makeArgument(L"settings", L"C:\\a.xml"), L"/settings=C:\\a.xml");
    EXPECT_EQ(makeArgument(L"LogFile", L"x"), L"/LogFile=x");
    EXPECT_EQ(makeBoolArgument(L"autorun", false), L"/autorun=false");
    EXPECT_EQ(makeBoolArgument(L"changeDACL", true), L"/changeDACL=true");
}
