#include "process/LaunchLimits.h"

#include <string>

#include "logging/Logger.h"
#include "process/ProcessCommand.h"
#include "settings/SettingsInterfaces.h"

namespace {
const Logger logger(L"LaunchLimits");
}

int checkLaunchLimits(const ExecutionSettings& settings)
{
    std::wstring workDir = settings.getWorkDir();
    if (!workDir.empty() && workDir.back() == L'\\') {
        workDir.pop_back();
    }
    if (workDir.size() > WORK_DIRECTORY_CAPACITY) {
        logger.error(L"Work directory is too long for CreateProcess (%d characters, at most %d): %s",
                     static_cast<int>(workDir.size()), static_cast<int>(WORK_DIRECTORY_CAPACITY), workDir);
        return 1;
    }
    const size_t length = composeCommandLine(settings.getProgram(), settings.getArguments()).size();
    if (length >= COMMAND_LINE_CAPACITY) {
        logger.error(L"Command line of %s is too long for CreateProcess (%d characters, at most %d)",
                     settings.getProgram(), static_cast<int>(length), static_cast<int>(COMMAND_LINE_CAPACITY - 1));
        return 1;
    }
    return 0;
}
