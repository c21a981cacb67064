#include "logging/Logger.h"

#include "common/TextConversion.h"
#include "logging/ConsoleAppender.h"
#include "logging/FileAppender.h"
#include "logging/LoggerSetup.h"

namespace {

// Created on first use and destroyed after main: the setup first, then the
// outputs, which attach themselves in dispatch order.
struct LoggingConfiguration {
    LoggerSetup setup;
    ConsoleAppender console;
    FileAppender file;

    LoggingConfiguration()
    {
        setup.addAppender(&console);
        setup.addAppender(&file);
    }
};

LoggingConfiguration& configuration()
{
    static LoggingConfiguration instance;
    return instance;
}

const wchar_t* levelTag(int level)
{
    switch (level) {
    case LEVEL_DEBUG: return L"[Debug] ";
    case LEVEL_INFO: return L" [Info] ";
    case LEVEL_WARN: return L" [Warn] ";
    case LEVEL_ERROR: return L"[Error] ";
    default: return L"";
    }
}

}  // namespace

LoggerSetup& LoggerHolder::setup() { return configuration().setup; }

FileAppender& LoggerHolder::fileAppender() { return configuration().file; }

void LoggerHolder::addAppender(LogAppender* appender) { setup().addAppender(appender); }

int logLevelNamed(const std::wstring& name)
{
    const std::wstring lowered = lowerCaseAscii(name);
    const wchar_t* const names[] = {L"debug", L"info", L"warn", L"error"};
    for (int level = LEVEL_DEBUG; level <= LEVEL_ERROR; ++level) {
        if (lowered == names[level - LEVEL_DEBUG]) {
            return level;
        }
    }
    return 0;
}

bool Logger::isEnabled(int level) const { return setup().isEnabled(level); }

void Logger::log(int level, const std::wstring& message) const
{
    if (isEnabled(level)) {
        setup().dispatch(level, prefix(level), message);
    }
}

std::wstring Logger::prefix(int level) const
{
    const size_t width = 33;
    std::wstring text = name_.substr(0, width - 1);
    text.resize(width, L' ');
    return text + levelTag(level);
}
