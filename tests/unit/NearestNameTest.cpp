#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/NearestName.h"

TEST(NearestName, SuggestsTheKnownNameATypoMeantAndNothingForOtherNames)
{
    const std::vector<std::wstring> root = {L"name", L"displayName", L"description", L"service-logging", L"execution"};
    EXPECT_EQ(nearestName(L"service-loging", root), L"service-logging");
    EXPECT_EQ(nearestName(L"displayname", root), L"displayName");  // letter case costs nothing
    EXPECT_EQ(nearestName(L"descritpion", root), L"description");  // a swap is one edit
    EXPECT_EQ(nearestName(L"nmae", root), L"name");
    EXPECT_EQ(nearestName(L"program", root), L"");
    EXPECT_EQ(nearestName(L"x", root), L"");
    EXPECT_EQ(nearestName(L"", root), L"");
    EXPECT_EQ(nearestName(std::wstring(100000, L'n'), root), L"");

    const std::vector<std::wstring> options = {L"runAsSystem", L"autostart", L"autorun", L"user"};
    EXPECT_EQ(nearestName(L"autostrat", options), L"autostart");
    EXPECT_EQ(nearestName(L"runasystem", options), L"runAsSystem");
    EXPECT_EQ(nearestName(L"autoru", options), L"autorun");
    // One edit in three letters at most: "uxer" is near "user", "autoxxxx" is no longer near "autorun".
    EXPECT_EQ(nearestName(L"uxer", options), L"user");
    EXPECT_EQ(nearestName(L"autoxxxx", options), L"");
    // Of equally near names the first.
    EXPECT_EQ(nearestName(L"ab", {L"aa", L"bb"}), L"aa");
}
