#include "commandline/LoggingFromArguments.h"

#include "commandline/Argz.h"
#include "logging/FileAppender.h"
#include "logging/Logger.h"
#include "logging/LoggerSetup.h"

void configureLoggingFromArguments(const Argz& arguments)
{
    std::wstring logFile;
    if (arguments.getLogFileArgument(logFile)) {
        LoggerHolder::fileAppender().open(logFile);
    }
    LoggerHolder::setup().setLevel(arguments.isDebug() ? LEVEL_DEBUG : LEVEL_INFO);
}
