#include <gtest/gtest.h>

#include "common/Directories.h"
#include "support/TestFiles.h"

TEST(Directories, CreatesMissingParentDirectoriesOutermostFirstAndNamesWhatStopsThem)
{
    TemporaryDirectory dir;
    EXPECT_EQ(createParentDirectories(dir.file(L"b\\c\\log.txt")), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_TRUE(directoryExists(dir.file(L"b")));
    EXPECT_TRUE(directoryExists(dir.file(L"b\\c")));
    EXPECT_FALSE(fileExists(dir.file(L"b\\c\\log.txt")));

    // Far beyond MAX_PATH, and deeper than recursion should go.
    std::wstring deep = dir.path();
    for (int i = 0; i < 150; ++i) {
        deep += L"\\level";
    }
    EXPECT_EQ(createParentDirectories(deep + L"\\log.txt"), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_TRUE(directoryExists(deep));

    // A file where a folder must go.
    writeBytes(dir.file(L"blocker"), "x");
    EXPECT_EQ(createParentDirectories(dir.file(L"blocker\\logs\\log.txt")), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(directoryExists(dir.file(L"blocker\\logs")));
}
