#include <gtest/gtest.h>

#include "common/Format.h"
#include "common/TextConversion.h"
#include "common/WhiteSpace.h"

TEST(Format, UsesWindowsRulesForWideStrings)
{
    EXPECT_EQ(format(L"%s %d", std::wstring(L"abc"), 42), L"abc 42");
    EXPECT_EQ(format(L"[%s]", L"literal"), L"[literal]");
    EXPECT_EQ(format(L"%ld!~", 2147483647L), L"2147483647!~");
    EXPECT_EQ(format(L"%f", 1.5), L"1.500000");
    EXPECT_EQ(format(L"100%%"), L"100%");
    EXPECT_EQ(format(L""), L"");
}

TEST(Format, HandlesLongAndNonAsciiTexts)
{
    const std::wstring longText(100000, L'x');
    EXPECT_EQ(format(L"<%s>", longText), L"<" + longText + L">");
    EXPECT_EQ(format(L"%s", std::wstring(L"\u00e9\u4e2d\U0001F600")), L"\u00e9\u4e2d\U0001F600");
}

TEST(TextConversion, RoundTripsUtf8)
{
    const std::wstring text = L"a\u00e9\u4e2d\U0001F600";
    EXPECT_EQ(toUtf8(text), "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80");
    EXPECT_EQ(fromUtf8(toUtf8(text)), text);
    EXPECT_EQ(toUtf8(L""), "");
}

TEST(WhiteSpace, TrimsBothEndsOrOnlyTheEnd)
{
    EXPECT_EQ(trimWhiteSpace(L" \t a b \r\n"), L"a b");
    EXPECT_EQ(trimWhiteSpace(L"   "), L"");
    EXPECT_EQ(trimTrailingWhiteSpace(L"  a \t\r"), L"  a");
}

TEST(WhiteSpace, SplitsWordsAtEveryRunOfWhiteSpace)
{
    EXPECT_EQ(splitWords(L" \t03:00  15:00\r\n7:5 "), (std::vector<std::wstring>{L"03:00", L"15:00", L"7:5"}));
    EXPECT_TRUE(splitWords(L" \t ").empty());
}
