#pragma once

#include <string>

#include "common/Format.h"
#include "logging/LogLevel.h"

class FileAppender;
class LogAppender;
class LoggerSetup;

// The way to the one process-wide logging configuration.
class LoggerHolder {
public:
    virtual ~LoggerHolder() = default;

    static LoggerSetup& setup();
    static FileAppender& fileAppender();
    static void addAppender(LogAppender* appender);
};

// The level a settings file names: debug, info, warn or error in any letter
// case; 0 for any other name.
int logLevelNamed(const std::wstring& name);

// A named front object; all loggers share the setup's threshold.
class Logger : public LogLevel, public LoggerHolder {
public:
    explicit Logger(std::wstring name) : name_(std::move(name)) {}

    bool isEnabled(int level) const override;

    void debug(const std::wstring& message) const { log(LEVEL_DEBUG, message); }
    void info(const std::wstring& message) const { log(LEVEL_INFO, message); }
    void warn(const std::wstring& message) const { log(LEVEL_WARN, message); }
    void error(const std::wstring& message) const { log(LEVEL_ERROR, message); }

    template <typename... Args>
    void debug(const wchar_t* format, const Args&... args) const { logFormatted(LEVEL_DEBUG, format, args...); }
    template <typename... Args>
    void info(const wchar_t* format, const Args&... args) const { logFormatted(LEVEL_INFO, format, args...); }
    template <typename... Args>
    void warn(const wchar_t* format, const Args&... args) const { logFormatted(LEVEL_WARN, format, args...); }
    template <typename... Args>
    void error(const wchar_t* format, const Args&... args) const { logFormatted(LEVEL_ERROR, format, args...); }

    void log(int level, const std::wstring& message) const;

    // Name cut or padded to 33 characters, then the 8-character level tag.
    std::wstring prefix(int level) const;

private:
    template <typename... Args>
    void logFormatted(int level, const wchar_t* formatText, const Args&... args) const
    {
        if (isEnabled(level)) {
            log(level, format(formatText, args...));
        }
    }

    std::wstring name_;
};
