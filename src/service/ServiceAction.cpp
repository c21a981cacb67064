#include "service/ServiceAction.h"

#include "commandline/ArgumentKeys.h"
#include "commandline/Argz.h"
#include "commandline/ConsoleWriter.h"
#include "commandline/JavaServiceWrapperWeaver.h"
#include "commandline/SimpleConsoleAction.h"
#include "logging/Logger.h"
#include "service/ServiceEntry.h"
#include "service/ServiceMain.h"
#include "settings/Paths.h"

namespace {

const Logger logger(L"ServiceAction");

std::wstring quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

}  // namespace

ServiceAction::ServiceAction() : ConsoleAction(L"hostwell") {}

void ServiceAction::printUsage(ConsoleWriter& writer)
{
    if (!logger.isEnabled(LEVEL_DEBUG)) {
        return;
    }
    writer.writeFormatted(L"    %s", name());
    writer.writeLine(L"      internal, called to run as windows service");
    writer.writeEmptyLine();
}

int ServiceAction::execute(const Argz& arguments)
{
    ServiceLaunch launch;
    const int resolved = resolveSettingsFile(arguments, launch.settingsFile);
    if (resolved != 0) {
        return resolved;
    }
    wovenWrapperConfig(arguments, launch.wrapperConfig);
    launch.writableFilesAccepted = arguments.getBool(KEY_ALLOW_WRITABLE_FILES, false);
    logger.debug(L"ExecuteAction entered");

    // Lives until the dispatcher has returned: controls may come until then.
    ServiceMain service(launch);
    const LPSERVICE_MAIN_FUNCTIONW entry = prepareServiceEntry(instanceNumber(), &service);
    if (entry == nullptr) {
        logger.error(L"Failed to prepare Service Main function");
        return 1;
    }
    if (arguments.isDebugService()) {
        entry(0, nullptr);
    } else {
        // The control manager waits only 30 s for this call: everything else
        // happens in the service's main function. A service of its own
        // process is found without its name.
        logger.debug(L"Calling StartServiceCtrlDispatcher");
        wchar_t anyName[] = L"";
        const SERVICE_TABLE_ENTRYW table[] = {{anyName, entry}, {nullptr, nullptr}};
        if (!StartServiceCtrlDispatcherW(table)) {
            logger.error(L"Failed to register service");
            return 1;
        }
    }
    logger.debug(L"Exit ExecuteAction");
    return 0;
}

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
    // The service then accepts at every start what install accepted.
    if (arguments.getBool(KEY_ALLOW_WRITABLE_FILES, false)) {
        line += L" " + makeBoolArgument(KEY_ALLOW_WRITABLE_FILES, true);
    }
    if (arguments.isDebug()) {
        line += L" " + std::wstring(FLAG_DEBUG) + L" ";
    }
    logger.debug(L"Generated service command: %s", line);
    command = line;
    return 0;
}
