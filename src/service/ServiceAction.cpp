#include "service/ServiceAction.h"

#include "commandline/ArgumentKeys.h"
#include "commandline/Argz.h"
#include "commandline/ConsoleWriter.h"
#include "eventlog/EventLogAppender.h"
#include "logging/FileAppender.h"
#include "logging/Logger.h"
#include "security/TrustedAccounts.h"
#include "security/WriteAccessCheck.h"
#include "service/ServiceEntry.h"
#include "service/ServiceMain.h"
#include "settings/LoggingFromSettings.h"
#include "settings/Paths.h"
#include "settings/SettingsInterfaces.h"

#include <vector>

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

int ServiceAction::ExecuteAction(const Argz& arguments, const ServiceSettings& settings)
{
    // Attached while the service runs; its destruction detaches it.
    EventLogAppender eventLog(settings);
    LoggerHolder::addAppender(&eventLog);
    // Before the settings say where the log goes: whoever may change the file
    // could otherwise have the service append to a file of their choosing.
    const bool writableFilesAccepted = arguments.getBool(KEY_ALLOW_WRITABLE_FILES, false);
    const bool settingsTrusted = acceptWritableFiles(
        findWritableSettingsFile(settings.getSettingsFile(), TrustedAccounts::forService()), writableFilesAccepted);
    if (settingsTrusted) {
        configureLoggingFromSettings(settings);
    }
    logger.debug(L"ExecuteAction entered");

    const std::wstring serviceName = settings.getServiceName();
    std::vector<wchar_t> writableName(serviceName.begin(), serviceName.end());
    writableName.push_back(L'\0');
    // Lives until the dispatcher has returned: controls may come until then.
    ServiceMain service(&settings, writableFilesAccepted, !settingsTrusted);
    const LPSERVICE_MAIN_FUNCTIONW entry = prepareServiceEntry(instanceNumber(), &service);
    if (entry == nullptr) {
        logger.error(L"Failed to prepare Service Main function");
        return 1;
    }
    if (arguments.isDebugService()) {
        entry(0, nullptr);
    } else {
        logger.debug(L"Calling StartServiceCtrlDispatcher");
        const SERVICE_TABLE_ENTRYW table[] = {{writableName.data(), entry}, {nullptr, nullptr}};
        if (!StartServiceCtrlDispatcherW(table)) {
            logger.error(L"Failed to register service");
            return 1;
        }
    }
    LoggerHolder::fileAppender().reportLossAtStop();
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
