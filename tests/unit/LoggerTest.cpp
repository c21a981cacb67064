#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "logging/ErrorText.h"
#include "logging/LineClock.h"
#include "logging/LogAppender.h"
#include "logging/Logger.h"
#include "logging/LoggerSetup.h"
#include "support/LoggingCapture.h"

namespace {

class ReentrantAppender : public LogAppender {
public:
    std::vector<std::wstring> messages;
    void write(int, int, const std::wstring&, const std::wstring& message) override
    {
        messages.push_back(message);
        Logger(L"inner").error(L"from inside");
    }
};

}  // namespace

TEST(Logger, PadsOrCutsTheNameTo33CharactersBeforeTheTag)
{
    EXPECT_EQ(Logger(std::wstring(32, L'n')).prefix(LEVEL_INFO), std::wstring(32, L'n') + L" " + L" [Info] ");
    EXPECT_EQ(Logger(std::wstring(40, L'n')).prefix(LEVEL_DEBUG), std::wstring(32, L'n') + L" " + L"[Debug] ");
    EXPECT_EQ(Logger(L"").prefix(LEVEL_WARN), std::wstring(33, L' ') + L" [Warn] ");
    EXPECT_EQ(Logger(L"RollFileWriter").prefix(LEVEL_ERROR), L"RollFileWriter" + std::wstring(19, L' ') + L"[Error] ");
    EXPECT_EQ(Logger(L"x").prefix(7).size(), 33u);
}

TEST(Logger, WritesOnlyMessagesAtOrAboveTheThreshold)
{
    LoggingCapture capture(LEVEL_WARN);
    const Logger logger(L"probe");
    logger.info(L"info %d", 1);
    logger.warn(L"warn %d", 2);
    logger.error(L"error %s", std::wstring(L"three"));
    logger.debug(L"debug");
    ASSERT_EQ(capture.messages(), (std::vector<std::wstring>{L"warn 2", L"error three"}));
    EXPECT_EQ(capture.records()[0].prefix, logger.prefix(LEVEL_WARN));
    EXPECT_EQ(capture.records()[0].threshold, LEVEL_WARN);
}

TEST(Logger, PlainMessagesAreNotTreatedAsFormats)
{
    LoggingCapture capture(LEVEL_DEBUG);
    Logger(L"probe").info(std::wstring(L"50% done %s"));
    EXPECT_EQ(capture.messages(), (std::vector<std::wstring>{L"50% done %s"}));
}

TEST(LoggerSetup, AttachingTwiceListsTheAppenderOnceAtTheEnd)
{
    LoggingCapture first(LEVEL_DEBUG);
    LoggingCapture second(LEVEL_DEBUG);
    LoggerHolder::addAppender(&first.appender());
    Logger(L"probe").info(L"one");
    EXPECT_EQ(first.messages().size(), 1u);
    EXPECT_EQ(second.messages().size(), 1u);
    // The first capture is now behind the second one: removing it from the
    // list must not remove the second one.
    LoggerHolder::setup().removeAppender(&first.appender());
    Logger(L"probe").info(L"two");
    EXPECT_EQ(first.messages().size(), 1u);
    EXPECT_EQ(second.messages().size(), 2u);
}

TEST(LoggerSetup, MessageLoggedInsideAnAppenderSkipsOnlyThatAppender)
{
    LoggingCapture capture(LEVEL_DEBUG);
    ReentrantAppender reentrant;
    LoggerHolder::addAppender(&reentrant);
    Logger(L"outer").error(L"first");
    // The inner message reached the capture, not the appender that logged it.
    EXPECT_EQ(reentrant.messages, (std::vector<std::wstring>{L"first"}));
    EXPECT_EQ(capture.messages(), (std::vector<std::wstring>{L"first", L"from inside"}));

    Logger(L"outer").error(L"second");
    EXPECT_EQ(reentrant.messages, (std::vector<std::wstring>{L"first", L"second"}));
}

TEST(ErrorText, GivesSystemTextWithCodeOrTheCodeAlone)
{
    const std::wstring known = errorText(ERROR_FILE_NOT_FOUND);
    EXPECT_GT(known.size(), 4u);
    EXPECT_EQ(known.substr(known.size() - 4), L" (2)");
    EXPECT_EQ(known.find(L'\n'), std::wstring::npos);
    EXPECT_NE(known[known.size() - 5], L' ');

    EXPECT_EQ(errorText(0x2BADBEEF), L"732806895");
    EXPECT_EQ(errorText(0xE0001234), L"-536866252");  // printed as a signed number

    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(lastErrorText(), errorText(ERROR_ACCESS_DENIED));
}

TEST(LineStamp, WritesTheLocalTimeWithMillisecondsAndTheOffsetFromUtcInIso8601)
{
    SYSTEMTIME time = {};
    time.wYear = 2026;
    time.wMonth = 12;
    time.wDay = 9;
    time.wHour = 17;
    time.wMinute = 20;
    time.wSecond = 31;
    time.wMilliseconds = 123;
    EXPECT_EQ(lineStamp(time, 60), L"2026-12-09T17:20:31.123+01:00 ");
    EXPECT_EQ(lineStamp(time, 0), L"2026-12-09T17:20:31.123+00:00 ");
    EXPECT_EQ(lineStamp(time, -570), L"2026-12-09T17:20:31.123-09:30 ");
    time = {};
    time.wYear = 987;
    time.wMonth = 1;
    time.wDay = 2;
    time.wMilliseconds = 7;
    EXPECT_EQ(lineStamp(time, 345), L"0987-01-02T00:00:00.007+05:45 ");
}
