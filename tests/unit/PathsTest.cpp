#include <gtest/gtest.h>

#include <windows.h>

#include "common/TextConversion.h"
#include "logging/LogLevel.h"
#include "settings/FinalPath.h"
#include "settings/OutputLogElement.h"
#include "settings/Paths.h"
#include "support/LoggingCapture.h"
#include "support/TestFiles.h"

TEST(Paths, ResolvesRelativePathsAgainstTheBaseFilesDirectory)
{
    std::wstring out;
    ASSERT_EQ(resolvePath(L"C:\\svc\\conf\\app.xml", L"logs\\service.log", false, out), 0);
    EXPECT_EQ(out, L"C:\\svc\\conf\\logs\\service.log");
    ASSERT_EQ(resolvePath(L"C:\\svc\\conf\\wrapper.conf", L"..\\app.xml", false, out), 0);
    EXPECT_EQ(out, L"C:\\svc\\app.xml");
    ASSERT_EQ(resolvePath(L"C:\\svc\\conf\\app.xml", L"\\root.log", false, out), 0);
    EXPECT_EQ(out, L"C:\\root.log");
    ASSERT_EQ(resolvePath(L"C:\\svc\\conf\\app.xml", L"\\\\server\\share\\x.log", false, out), 0);
    EXPECT_EQ(out, L"\\\\server\\share\\x.log");
}

TEST(Paths, DriveLetterPathsIgnoreTheBaseFile)
{
    LoggingCapture capture(LEVEL_DEBUG);
    std::wstring out;
    ASSERT_EQ(resolvePath(L"C:\\svc\\app.xml", L"D:\\other\\.\\app.xml", false, out), 0);
    EXPECT_EQ(out, L"D:\\other\\app.xml");
    for (const std::wstring& message : capture.messages()) {
        EXPECT_EQ(message.find(L"Resolving base file"), std::wstring::npos) << message;
    }
    EXPECT_TRUE(capture.has(L"Combined path: D:\\other\\.\\app.xml"));

    EXPECT_TRUE(hasDriveLetter(L"C:x.xml"));
    EXPECT_FALSE(hasDriveLetter(L"C:"));
    EXPECT_FALSE(hasDriveLetter(L"1:\\x"));
    EXPECT_FALSE(hasDriveLetter(L"\\\\server\\share"));
}

TEST(Paths, MustExistRefusesMissingFilesAndDirectories)
{
    TemporaryDirectory dir;
    writeUtf8(dir.file(L"present.txt"), L"x");
    CreateDirectoryW(dir.file(L"sub").c_str(), nullptr);
    LoggingCapture capture(LEVEL_INFO);
    std::wstring out = L"untouched";
    const std::wstring base = dir.file(L"base.xml");
    EXPECT_EQ(resolvePath(base, L"sub", true, out), 1);
    EXPECT_EQ(resolvePath(base, L"missing.txt", true, out), 1);
    EXPECT_EQ(out, L"untouched");
    EXPECT_TRUE(capture.has(L"File does not exist: " + dir.file(L"sub")));
    EXPECT_EQ(resolvePath(base, L"present.txt", true, out), 0);
    EXPECT_EQ(out, dir.file(L"present.txt"));
}

TEST(Paths, BasePathIsTheDirectoryWithoutSeparator)
{
    LoggingCapture capture(LEVEL_ERROR);
    std::wstring out;
    ASSERT_EQ(resolveBasePath(L"C:\\svc\\conf\\app.xml", out), 0);
    EXPECT_EQ(out, L"C:\\svc\\conf");
    ASSERT_EQ(resolveBasePath(L"C:\\app.xml", out), 0);
    EXPECT_EQ(out, L"C:");
    out = L"untouched";
    EXPECT_EQ(resolveBasePath(L"C:\\svc\\", out), 1);
    EXPECT_EQ(out, L"untouched");
    EXPECT_TRUE(capture.has(L"Given path to should point to file: C:\\svc\\"));
}

TEST(Paths, CombinesLikeTheShellWithoutThe260CharacterLimit)
{
    std::wstring out;
    ASSERT_EQ(combinePath(L"C:\\a\\b", L"c", out), 0);
    EXPECT_EQ(out, L"C:\\a\\b\\c");
    ASSERT_EQ(combinePath(L"C:\\a\\b", L"\\c", out), 0);
    EXPECT_EQ(out, L"C:\\c");
    ASSERT_EQ(combinePath(L"\\\\srv\\share\\dir", L"\\c", out), 0);
    EXPECT_EQ(out, L"\\\\srv\\share\\c");
    ASSERT_EQ(combinePath(L"C:\\a", L"", out), 0);
    EXPECT_EQ(out, L"C:\\a");
    ASSERT_EQ(combinePath(L"C:\\a\\", L"E:\\x", out), 0);
    EXPECT_EQ(out, L"E:\\x");

    const std::wstring longName(300, L'n');
    ASSERT_EQ(combinePath(L"C:\\a", longName, out), 0);
    EXPECT_EQ(out, L"C:\\a\\" + longName);
    EXPECT_EQ(combinePath(L"C:\\a", std::wstring(65600, L'n'), out), 1);
}

TEST(Paths, ReadsUtf8AndUtf16TextWithLineEndsFolded)
{
    TemporaryDirectory dir;
    const std::wstring expected = L"<a>\u00e9\u4e2d</a>\nline2\n";
    writeBytes(dir.file(L"plain.txt"), "<a>\xC3\xA9\xE4\xB8\xAD</a>\r\nline2\n");
    writeBytes(dir.file(L"bom.txt"), "\xEF\xBB\xBF<a>\xC3\xA9\xE4\xB8\xAD</a>\r\nline2\n");
    const std::wstring utf16Text = L"<a>\u00e9\u4e2d</a>\r\nline2\n";
    std::string utf16 = "\xFF\xFE";
    for (wchar_t c : utf16Text) {
        utf16.push_back(static_cast<char>(c & 0xFF));
        utf16.push_back(static_cast<char>(c >> 8));
    }
    writeBytes(dir.file(L"utf16.txt"), utf16);

    for (const wchar_t* name : {L"plain.txt", L"bom.txt", L"utf16.txt"}) {
        std::wstring text;
        ASSERT_EQ(readTextFile(dir.file(name), text), 0) << name;
        EXPECT_EQ(text, expected) << name;
    }
    std::wstring untouched = L"untouched";
    EXPECT_EQ(readTextFile(dir.file(L"missing.txt"), untouched), 1);
    EXPECT_EQ(readTextFile(dir.path(), untouched), 1);
    EXPECT_EQ(untouched, L"untouched");
}

TEST(Paths, ModulePathIsTheRunningExecutable)
{
    std::wstring path;
    ASSERT_EQ(getModulePath(path), 0);
    EXPECT_EQ(path.substr(path.size() - 14), L"unit_tests.exe");
    EXPECT_TRUE(fileExists(path));
}

// Through a link too on Windows; Wine's final path keeps the link's name.
TEST(FinalPath, NamesOneFileHoweverItsPathIsWrittenInCaseAndDots)
{
    TemporaryDirectory dir;
    CreateDirectoryW(dir.file(L"logs").c_str(), nullptr);
    writeUtf8(dir.file(L"logs\\service.log"), L"x");
    const std::vector<ServiceFile> files = {{L"the settings file", dir.file(L"app.xml")},
                                            {L"the service log", dir.file(L"logs\\service.log")}};
    for (const wchar_t* same : {L"LOGS\\Service.LOG", L"logs\\.\\..\\logs\\service.log"}) {
        const ServiceFile* shared = sharedFile(dir.file(same), files);
        ASSERT_NE(shared, nullptr) << toUtf8(same);
        EXPECT_EQ(shared->what, L"the service log");
    }
    // Files that do not exist yet are compared as well.
    EXPECT_EQ(sharedFile(dir.file(L"APP.xml"), files), &files[0]);
    EXPECT_EQ(sharedFile(dir.file(L"logs\\app.log"), files), nullptr);
    EXPECT_EQ(sharedFile(dir.file(L"LOGS\\service.log.1"), files), nullptr);
}

TEST(Paths, OnlyAPathOfAnotherComputerIsANetworkPath)
{
    EXPECT_TRUE(isNetworkPath(L"\\\\server\\share\\x.exe"));
    EXPECT_TRUE(isNetworkPath(L"\\\\?\\UNC\\server\\share\\x.exe"));
    EXPECT_FALSE(isNetworkPath(L"\\\\?\\H:\\apps\\x.exe"));
    EXPECT_FALSE(isNetworkPath(L"C:\\apps\\x.exe"));
    EXPECT_TRUE(isLocalExtendedPath(L"\\\\?\\H:\\apps\\x.exe"));
    EXPECT_FALSE(isLocalExtendedPath(L"\\\\?\\UNC\\server\\x.exe"));
}
