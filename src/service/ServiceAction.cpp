#include "service/ServiceAction.h"

#include "commandline/ArgumentKeys.h"
#include "commandline/Argz.h"
#include "commandline/ConsoleWriter.h"
#include "commandline/PendingCommand.h"
#include "logging/Logger.h"
#include "settings/Paths.h"

namespace {

const Logger logger(L"ServiceAction");

std::wstring quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

}  // namespace

ServiceAction::ServiceAction() : SimpleConsoleAction(L"hostwell") {}

void ServiceAction::printUsage(ConsoleWriter& writer)
{
    if (!logger.isEnabled(LEVEL_DEBUG)) {
        return;
    }
    writer.writeFormatted(L"    %s", name());
    writer.writeLine(L"      internal, called to run as windows service");
    writer.writeEmptyLine();
}

int ServiceAction::ExecuteAction(const Argz&, const ServiceSettings&) { return reportCommandNotAvailable(name()); }

int ServiceAction::generateServiceCommand(const Argz& arguments, std::wstring& command, std::wstring& logFile) const
{
    command.clear();
    logFile.clear();
    std::wstring executable;
    if (getModulePath(executable) != 0) {
        return 1;
    }
    logger.debug(L"Executing process path: %s", executable);
    std::wstring settingsFile;
    const int resolved = resolveSettingsFile(arguments, settingsFile);
    if (resolved != 0) {
        return resolved;
    }
    logger.debug(L"Specified settings file: %s", settingsFile);

    std::wstring line = quoted(executable) + L" " + name() + L" " + quoted(makeArgument(KEY_SETTINGS, settingsFile));
    std::wstring logPath;
    if (arguments.getLogFileArgument(logPath)) {
        logFile = logPath;
        line += L" " + quoted(makeArgument(KEY_LOG_FILE, logPath));
    }
    if (arguments.isDebug()) {
        line += L" " + std::wstring(FLAG_DEBUG) + L" ";
    }
    logger.debug(L"Generated service command: %s", line);
    command = line;
    return 0;
}
