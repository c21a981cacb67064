#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "process/EnvironmentBlock.h"
#include "settings/EnvironmentFile.h"

namespace {

// "NAME=value" for each variable of the parsed bytes; the fault as "line N: reason".
std::vector<std::wstring> parsed(const std::string& bytes)
{
    std::vector<EnvironmentVariable> variables;
    EnvironmentFileFault fault;
    if (!parseEnvironmentFile(bytes, variables, fault)) {
        return {L"line " + std::to_wstring(fault.line) + L": " + fault.reason};
    }
    std::vector<std::wstring> texts;
    for (const EnvironmentVariable& variable : variables) {
        texts.push_back(variable.name + L"=" + variable.value);
    }
    return texts;
}

}  // namespace

TEST(EnvironmentBlock, IgnoresLetterCaseOfNamesAndExpandsOnlyKnownReferences)
{
    EnvironmentBlock environment;
    ASSERT_TRUE(environment.set(L"Path", L"C:\\bin"));
    ASSERT_TRUE(environment.set(L"PATH", L"C:\\tools;" + environment.expand(L"%path%")));
    ASSERT_TRUE(environment.set(L"b", L"2"));
    EXPECT_EQ(*environment.find(L"path"), L"C:\\tools;C:\\bin");
    EXPECT_EQ(environment.expand(L"100%;%B%;%UNKNOWN%;%%;50%"), L"100%;2;%UNKNOWN%;%%;50%");
    EXPECT_FALSE(environment.set(L"A=B", L"x"));
    EXPECT_FALSE(environment.set(L"", L"x"));

    // Sorted by name, whatever the letter case, as CreateProcess expects.
    environment.set(L"a", L"1");
    const std::vector<wchar_t> block = environment.block();
    EXPECT_EQ(std::wstring(block.begin(), block.end()), std::wstring(L"a=1\0b=2\0PATH=C:\\tools;C:\\bin\0\0", 30));
    environment.remove(L"B");
    EXPECT_EQ(environment.find(L"b"), nullptr);
}

TEST(EnvironmentFile, ReadsNamesAndValuesSkippingBlanksAndCommentsAndUnquotesOnlyWhatIsQuoted)
{
    using Texts = std::vector<std::wstring>;
    EXPECT_EQ(parsed("\xEF\xBB\xBF# comment\r\n\r\n \t\n  A = one two  \r\nB=x=y#z\nC=\nD=\"\\n\\\"\\\\\\t\" # c\n"
                     "E='\\n \"#'\nF=\"\xC3\xA9\"\nG= 'spaced ' "),
              (Texts{L"A=one two", L"B=x=y#z", L"C=", L"D=\n\"\\\\t", L"E=\\n \"#", L"F=\u00e9", L"G=spaced "}));
    EXPECT_EQ(parsed(""), Texts{});
    EXPECT_EQ(parsed("A=1\n\nNAME ONLY\n"), (Texts{L"line 3: has no \"=\": write NAME=value, or start a comment with #"}));
    EXPECT_EQ(parsed("  =1"), (Texts{L"line 1: has no name before \"=\""}));
    EXPECT_EQ(parsed("A=\"open\nB=1\"\n"), (Texts{L"line 1: opens a quoted value that does not end on that line"}));
    EXPECT_EQ(parsed("A='a' b\n"), (Texts{L"line 1: has more than a comment after its quoted value"}));
    EXPECT_EQ(parsed("A=1\r\nB=\xFF\r\n"), (Texts{L"line 2: is not UTF-8"}));
    EXPECT_EQ(parsed(std::string("A=x\0y", 5)), (Texts{L"line 1: holds the character 0, which no variable can"}));
}
