#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "common/Format.h"
#include "common/TextConversion.h"
#include "common/UniqueResource.h"
#include "support/ProcessRunner.h"
#include "support/ServiceTestCase.h"
#include "support/TestFiles.h"
#include "support/TestService.h"

// What a running service leaves in its log files: how many, of what size,
// named how, compressed, and the program's own lines in a file of their own.

namespace {

class ServiceLogs : public ServiceTestCase {
protected:
    // Like writeSettings, with attributes of <service-logging> of the test's own.
    void writeLoggingSettings(const std::wstring& logging, const std::wstring& arguments,
                              const std::wstring& extraExecution = L"")
    {
        writeUtf8(settings, L"<hostwell><name>" + name + L"</name><description>d</description>"
                            L"<service-logging level='info' file='logs\\service.log' " + logging + L"/>"
                            L"<execution><program>" + helperPath(L"hwtestprog.exe") + L"</program><arguments>" +
                                arguments + L"</arguments>" + extraExecution + L"</execution></hostwell>");
    }

    // Runs the service until the program has ended by itself.
    void runToTheEnd()
    {
        TestService service(name, hostwellArguments());
        ASSERT_TRUE(service.start()) << service.startError();
        ASSERT_EQ(service.waitFor(SERVICE_STOPPED).dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED))
            << "the service did not stop after its program ended";
    }

    // The numbers of the test program's "line N" lines in `text`, in order.
    static std::vector<int> lineNumbers(const std::wstring& text)
    {
        std::vector<int> numbers;
        for (size_t at = text.find(L"line 0"); at != std::wstring::npos; at = text.find(L"line 0", at + 1)) {
            numbers.push_back(std::stoi(text.substr(at + 5, 8)));
        }
        return numbers;
    }

    static void expectConsecutiveUpTo(const std::vector<int>& numbers, int last)
    {
        ASSERT_FALSE(numbers.empty());
        for (size_t i = 1; i < numbers.size(); ++i) {
            ASSERT_EQ(numbers[i], numbers[i - 1] + 1) << "a line lost or repeated";
        }
        EXPECT_EQ(numbers.back(), last);
    }

    static void setLastWriteDay(const std::wstring& file, const SYSTEMTIME& day)
    {
        UniqueHandle handle(CreateFileW(file.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        FILETIME local = {};
        FILETIME utc = {};
        ASSERT_TRUE(SystemTimeToFileTime(&day, &local) && LocalFileTimeToFileTime(&local, &utc) &&
                    SetFileTime(handle.get(), nullptr, nullptr, &utc));
    }
};

// The Linux path of a file, for a Linux program to open; Wine's own export.
std::wstring unixPath(const std::wstring& path)
{
    using Convert = char*(CDECL*)(const wchar_t*);
    const auto convert = reinterpret_cast<Convert>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* converted = convert == nullptr ? nullptr : convert(path.c_str());
    if (converted == nullptr) {
        return std::wstring();
    }
    const std::wstring result = fromUtf8(converted);
    HeapFree(GetProcessHeap(), 0, converted);
    return result;
}

SYSTEMTIME yesterdayNoon()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    now.wHour = 12;
    FILETIME time = {};
    SystemTimeToFileTime(&now, &time);
    ULARGE_INTEGER value = {};
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    value.QuadPart -= 24ULL * 3600 * 10000000;
    time.dwLowDateTime = value.LowPart;
    time.dwHighDateTime = value.HighPart;
    SYSTEMTIME yesterday;
    FileTimeToSystemTime(&time, &yesterday);
    return yesterday;
}

// The local time now as a line's stamp writes it, without the offset: "2026-12-09T17:20:31.123".
std::wstring localTimeText()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return format(L"%04d-%02d-%02dT%02d:%02d:%02d.%03d", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                  now.wSecond, now.wMilliseconds);
}

// The local time's offset from UTC as the time zone information gives it: "+01:00".
std::wstring localOffsetText()
{
    TIME_ZONE_INFORMATION zone = {};
    const DWORD which = GetTimeZoneInformation(&zone);
    const long bias = zone.Bias + (which == TIME_ZONE_ID_DAYLIGHT ? zone.DaylightBias : zone.StandardBias);
    const long offset = -bias;
    return format(L"%s%02ld:%02ld", offset < 0 ? L"-" : L"+", std::labs(offset) / 60, std::labs(offset) % 60);
}

}  // namespace

TEST_F(ServiceLogs, SizeAndKeepHoldEveryLineOnceInExactlyTheBackupsAsked)
{
    writeLoggingSettings(L"max-size='64KB' keep='5'", L"lines 3000");
    runToTheEnd();
    for (int n = 1; n <= 5; ++n) {
        const size_t size = readBytes(log + format(L".%d", n)).size();
        // While the backups move the live file may grow on, up to twice its size.
        EXPECT_GE(size, 65536u) << n;
        EXPECT_LT(size, 2 * 65536u + 1024) << n;
    }
    EXPECT_FALSE(fileExists(log + L".6"));
    std::wstring retained;
    for (int n = 5; n >= 1; --n) {
        retained += readUtf8(log + format(L".%d", n));
    }
    expectConsecutiveUpTo(lineNumbers(retained + readUtf8(log)), 3000);
}

TEST_F(ServiceLogs, GzipBackupsDecompressToExactlyTheLinesWritten)
{
    writeLoggingSettings(L"max-size='64KB' keep='20' compress='gzip'", L"lines 3000");
    runToTheEnd();
    // The last backup is compressed while the service ends.
    for (int i = 0; i < 1500 && fileExists(log + L".1"); ++i) {
        Sleep(20);
    }
    ASSERT_FALSE(fileExists(log + L".1")) << "the newest backup was not compressed within 30 s";
    int backups = 0;
    while (fileExists(log + format(L".%d.gz", backups + 1))) {
        ++backups;
        EXPECT_FALSE(fileExists(log + format(L".%d", backups)));
        EXPECT_FALSE(fileExists(log + format(L".%d.gz.tmp", backups)));
    }
    ASSERT_GE(backups, 5);
    // Decompressed by another program's gzip reader, not by the zlib that wrote them.
    const std::wstring script = L"import gzip,glob,os,sys\n"
                                L"os.chdir(sys.argv[1])\n"
                                L"for name in glob.glob('service.log.*.gz'):\n"
                                L"    open(name[:-3] + '.unzipped', 'wb').write(gzip.open(name).read())\n"
                                L"open('done', 'w').close()\n";
    writeUtf8(dir.file(L"unzip.py"), script);
    const ProcessResult python = runProcess(L"C:\\windows\\system32\\start.exe",
                                            {L"/wait", L"/unix", L"/usr/bin/python3", unixPath(dir.file(L"unzip.py")),
                                             unixPath(dir.file(L"logs"))});
    ASSERT_TRUE(python.finished) << "start.exe did not end within 60 s";
    // start.exe does not wait for a Linux program.
    for (int i = 0; i < 1500 && !fileExists(dir.file(L"logs\\done")); ++i) {
        Sleep(20);
    }
    ASSERT_TRUE(fileExists(dir.file(L"logs\\done"))) << "Python did not decompress the backups within 30 s";
    std::wstring retained;
    for (int n = backups; n >= 1; --n) {
        const std::wstring unzipped = log + format(L".%d.unzipped", n);
        ASSERT_TRUE(fileExists(unzipped)) << "Python could not decompress backup " << n;
        retained += readUtf8(unzipped);
    }
    const std::vector<int> numbers = lineNumbers(retained + readUtf8(log));
    EXPECT_EQ(numbers.front(), 1);
    expectConsecutiveUpTo(numbers, 3000);
}

TEST_F(ServiceLogs, OutputLogHoldsTheProgramsLinesWholeByteForByteAndTheServiceLogOnlyHostwells)
{
    const std::wstring stopFile = dir.file(L"stop.flag");
    // {"msg":"café"}, a line ending in CR LF, 10,000 characters in two writes,
    // "tail with spaces", three blanks and a tab, then the marker.
    writeLoggingSettings(L"", L"hex 7b226d7367223a22636166c3a9227d0a hex 7365636f6e640d0a long-line 8192 long-line "
                              L"1808 hex 0a hex 7461696c207769746820737061636573202020090a text ready wait-file " +
                                  stopFile + L" text bye exit 0",
                         L"<output-log file='logs\\app.log' keep='2'/>"
                         L"<status-marker><started>ready</started></status-marker>" +
                             stopCommand(L"text asked-to-stop touch " + stopFile));
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    ASSERT_EQ(service.waitFor(SERVICE_RUNNING).dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING))
        << "the marker in the output log did not start the service";
    service.requestStop();
    ASSERT_EQ(service.waitFor(SERVICE_STOPPED).dwWin32ExitCode, 0u);

    EXPECT_TRUE(readBytes(dir.file(L"logs\\app.log")) == "{\"msg\":\"caf\xC3\xA9\"}\r\nsecond\r\n" +
                                                            std::string(10000, 'x') +
                                                            "\r\ntail with spaces   \t\r\nready\r\nasked-to-stop\r\nbye\r\n")
        << "the output log's lines are not the program's";
    const std::wstring serviceLog = retainedLog();
    EXPECT_TRUE(logHas(L"Program output will be written to: " + dir.file(L"logs\\app.log"))) << toUtf8(serviceLog);
    EXPECT_TRUE(logHas(L"Process exited with code: 0"));
    for (const wchar_t* line : {L"caf\u00e9", L"second", L"ready", L"asked-to-stop", L"bye"}) {
        EXPECT_FALSE(logHas(L"[Info] " + std::wstring(line))) << toUtf8(line);
    }
}

TEST_F(ServiceLogs, StandardErrorHasAFileOfItsOwnWhereItsMarkerCountsAndEachLineOfBothHasItsLocalTime)
{
    const std::wstring stopFile = dir.file(L"stop.flag");
    writeLoggingSettings(L"", L"text out-1 err err-1 text out-2 err ready wait-file " + stopFile + L" exit 0",
                         L"<output-log file='logs\\app.log' timestamps='true'/>"
                         L"<error-log file='logs\\errors.log' timestamps='true'/>"
                         L"<status-marker><started>ready</started></status-marker>");
    const std::wstring before = localTimeText();
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    ASSERT_EQ(service.waitFor(SERVICE_RUNNING).dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING))
        << "the marker on standard error did not start the service";
    writeBytes(stopFile, "");
    ASSERT_EQ(service.waitFor(SERVICE_STOPPED).dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    const std::wstring after = localTimeText();

    const std::wstring offset = localOffsetText();
    const auto expectStamped = [&](const std::wstring& file, const std::vector<std::wstring>& lines) {
        const std::wstring text = readUtf8(file);
        std::vector<std::wstring> read;
        for (size_t at = 0, end = 0; (end = text.find(L"\r\n", at)) != std::wstring::npos; at = end + 2) {
            read.push_back(text.substr(at, end - at));
        }
        ASSERT_EQ(read.size(), lines.size()) << toUtf8(text);
        for (size_t i = 0; i < lines.size(); ++i) {
            // 2026-12-09T17:20:31.123+01:00 and a blank
            const std::wstring stamp = read[i].substr(0, 30);
            EXPECT_EQ(read[i].substr(30), lines[i]) << toUtf8(text);
            EXPECT_EQ(stamp.substr(23), offset + L" ") << toUtf8(read[i]);
            EXPECT_TRUE(stamp[10] == L'T' && stamp[19] == L'.') << toUtf8(read[i]);
            EXPECT_LE(before, stamp.substr(0, 23)) << toUtf8(read[i]);
            EXPECT_GE(after, stamp.substr(0, 23)) << toUtf8(read[i]);
        }
    };
    expectStamped(dir.file(L"logs\\app.log"), {L"out-1", L"out-2"});
    expectStamped(dir.file(L"logs\\errors.log"), {L"err-1", L"ready"});
}

TEST_F(ServiceLogs, LogsFromYesterdayRollOverAtStartIntoBackupsNamedByTheirDay)
{
    const SYSTEMTIME yesterday = yesterdayNoon();
    const std::wstring day = format(L"%04d-%02d-%02d", yesterday.wYear, yesterday.wMonth, yesterday.wDay);
    const std::wstring app = dir.file(L"logs\\app.log");
    CreateDirectoryW(dir.file(L"logs").c_str(), nullptr);
    writeBytes(log, "a record of yesterday\r\n");
    writeBytes(app, "a line of yesterday\r\n");
    setLastWriteDay(log, yesterday);
    setLastWriteDay(app, yesterday);
    writeLoggingSettings(L"roll='daily'", L"text today", L"<output-log file='logs\\app.log' roll='daily'/>");
    runToTheEnd();
    EXPECT_EQ(readBytes(log + L"." + day + L".1"), "a record of yesterday\r\n");
    EXPECT_EQ(readBytes(app + L"." + day + L".1"), "a line of yesterday\r\n");
    EXPECT_EQ(readBytes(app), "today\r\n");
    EXPECT_TRUE(logHas(L"Service process exited without service stop request"));
    EXPECT_FALSE(readUtf8(log).find(L"yesterday") != std::wstring::npos);
}

TEST_F(ServiceLogs, AThousandBackupsNeitherStallTheOutputLogNorTheStop)
{
    CreateDirectoryW(dir.file(L"logs").c_str(), nullptr);
    const std::wstring app = dir.file(L"logs\\app.log");
    for (int n = 1; n <= 1000; ++n) {
        writeBytes(app + format(L".%d", n), "old\r\n");
    }
    // 3 MB in lines of 100 bytes.
    writeLoggingSettings(L"", L"lines 30000 text done sleep 600000",
                         L"<output-log file='logs\\app.log' max-size='64KB' keep='1000'/>");
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    bool done = false;
    for (int i = 0; i < 600 && !done; ++i) {
        Sleep(100);
        done = readBytes(app).find("done\r\n") != std::string::npos;
    }
    ASSERT_TRUE(done) << "3 MB of output did not reach the output log within a minute";
    const ULONGLONG stopAsked = GetTickCount64();
    ASSERT_TRUE(service.requestStop());
    ASSERT_EQ(service.waitFor(SERVICE_STOPPED).dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_LT(GetTickCount64() - stopAsked, 10000u) << "the stop waited for the backups";

    std::wstring retained;
    for (int n = 1000; n >= 1; --n) {
        const std::string backup = readBytes(app + format(L".%d", n));
        if (backup != "old\r\n") {
            retained += fromUtf8(backup);
        }
    }
    const std::vector<int> numbers = lineNumbers(retained + fromUtf8(readBytes(app)));
    EXPECT_EQ(numbers.front(), 1);
    expectConsecutiveUpTo(numbers, 30000);
}
