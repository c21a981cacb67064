#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "process/EnvironmentBlock.h"

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
