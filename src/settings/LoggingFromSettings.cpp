#include "settings/LoggingFromSettings.h"

#include "common/TextConversion.h"
#include "logging/CriticalSection.h"
#include "logging/FileAppender.h"
#include "logging/Logger.h"
#include "logging/LoggerSetup.h"
#include "settings/SettingsInterfaces.h"

void configureLoggingFromSettings(const LoggerSettings& settings)
{
    const Logger logger(L"LOG");
    // The service's other threads log meanwhile: the output changes under the
    // locks a record's write takes, in the order it takes them.
    ScopedLock setupLock(LoggerHolder::setup());
    ScopedLock fileLock(LoggerHolder::fileAppender());
    // Also for a log file named on the command line.
    LoggerHolder::fileAppender().setPolicy(settings.getLogRollPolicy());
    if (const std::wstring* logFile = settings.getLogFile()) {
        logger.info(L"Settings log file from the settings file: %s", *logFile);
        LoggerHolder::fileAppender().open(*logFile);
    }
    if (const std::wstring* logLevel = settings.getLogLevel()) {
        logger.info(L"Settings log level from the settings file: %s", *logLevel);
        const int level = logLevelNamed(*logLevel);
        if (level == 0) {
            logger.info(L"Unknown log level from the settings file: %s", lowerCaseAscii(*logLevel));
            return;
        }
        LoggerHolder::setup().setLevel(level);
    }
}
