#include "settings/LoggingFromSettings.h"

#include "common/TextConversion.h"
#include "logging/FileAppender.h"
#include "logging/Logger.h"
#include "logging/LoggerSetup.h"
#include "settings/SettingsInterfaces.h"

void configureLoggingFromSettings(const LoggerSettings& settings)
{
    const Logger logger(L"LOG");
    if (const std::wstring* logFile = settings.getLogFile()) {
        logger.info(L"Settings log file from the settings file: %s", *logFile);
        LoggerHolder::fileAppender().open(*logFile);
    }
    if (const std::wstring* logLevel = settings.getLogLevel()) {
        logger.info(L"Settings log level from the settings file: %s", *logLevel);
        const std::wstring name = lowerCaseAscii(*logLevel);
        const wchar_t* const names[] = {L"debug", L"info", L"warn", L"error"};
        for (int level = LEVEL_DEBUG; level <= LEVEL_ERROR; ++level) {
            if (name == names[level - LEVEL_DEBUG]) {
                LoggerHolder::setup().setLevel(level);
                return;
            }
        }
        logger.info(L"Unknown log level from the settings file: %s", name);
    }
}
