#include "logging/ConsoleAppender.h"

#include "logging/LogLevel.h"
#include "logging/StandardOutput.h"

void ConsoleAppender::write(int, int threshold, const std::wstring& prefix,
                            const std::wstring& message)
{
    writeStandardOutputLine(threshold <= LEVEL_DEBUG ? prefix + message : message);
}
