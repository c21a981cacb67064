#include "commandline/ValidateServiceTaskAction.h"

#include "commandline/ArgumentKeys.h"
#include "commandline/Argz.h"
#include "commandline/ConsoleWriter.h"
#include "logging/Logger.h"
#include "security/TrustedAccounts.h"
#include "security/WriteAccessCheck.h"
#include "settings/LoggingFromSettings.h"
#include "settings/RecycleSettings.h"
#include "settings/ResourceSettings.h"
#include "settings/HooksElement.h"
#include "settings/RollSettings.h"
#include "settings/SettingsInterfaces.h"

namespace {
const Logger logger(L"ValidateServiceTaskAction");

void printExecution(const wchar_t* tag, const ExecutionSettings& execution)
{
    logger.info(L"%s: Program:%s!~", tag, execution.getProgram());
    logger.info(L"%s: Arguments:%s!~", tag, execution.getArguments());
    logger.info(L"%s: WorkDir:%s!~", tag, execution.getWorkDir());
}

void printRestartPolicy(const RestartPolicy& policy)
{
    if (policy.when == RestartWhen::Never) {
        return;
    }
    logger.info(L"[e]: Restart:%s delay=%s max-delay=%s reset=%s max-restarts=%d!~", restartWhenName(policy.when),
                formatDuration(policy.delay), formatDuration(policy.maxDelay), formatDuration(policy.reset),
                static_cast<int>(policy.maxRestarts));
}

void printResources(const ProgramResources& resources)
{
    if (resources.priorityClass != 0) {
        logger.info(L"[e]: Priority:%s!~", priorityName(resources.priorityClass));
    }
    if (resources.processors != 0) {
        logger.info(L"[e]: Affinity:%s!~", formatProcessors(resources.processors));
    }
    const std::wstring limits = formatLimits(resources);
    if (!limits.empty()) {
        logger.info(L"[e]: Limits:%s!~", limits);
    }
}

void printLog(const wchar_t* key, const OutputLogSettings* log)
{
    if (log != nullptr) {
        logger.info(L"[e]: %s:%s %s%s!~", key, log->file, formatRollPolicy(log->policy),
                    log->timestamps ? L" timestamps=true" : L"");
    }
}

void printHooks(const ServiceTaskSettings& settings)
{
    for (const Hook hook : {Hook::PreStart, Hook::PostStart, Hook::PostStop}) {
        if (const HookSettings* command = settings.getHook(hook)) {
            const std::wstring tag = L"[" + std::wstring(hookName(hook)) + L"]";
            printExecution(tag.c_str(), *command);
            logger.info(L"%s: Timeout:%s!~", tag, command->getTimeout().text);
        }
    }
}

}  // namespace

ValidateServiceTaskAction::ValidateServiceTaskAction() : ServiceSettingsAction(L"validate-settings") {}

void ValidateServiceTaskAction::printUsage(ConsoleWriter& writer)
{
    if (!logger.isEnabled(LEVEL_DEBUG)) {
        return;
    }
    writer.writeFormatted(L"    %s /%s=<path to settings file>", name(), KEY_SETTINGS);
    writer.writeLine(L"      validates command parse");
    writer.writeEmptyLine();
}

int ValidateServiceTaskAction::ExecuteTaskAction(const Argz& arguments, const ServiceTaskSettings& settings)
{
    if (arguments.getBool(KEY_INIT_SERVICE_LOGGING, false)) {
        configureLoggingFromSettings(settings);
    }
    if (const std::wstring* level = settings.getLogLevel()) {
        logger.info(L"[L]: LogLevel:%s!~", *level);
    }
    if (const std::wstring* file = settings.getLogFile()) {
        logger.info(L"[L]: LogFile:%s!~", *file);
    }
    if (!(settings.getLogRollPolicy() == RollPolicy())) {
        logger.info(L"[L]: LogRoll:%s!~", formatRollPolicy(settings.getLogRollPolicy()));
    }
    logger.info(L"[j]: ServiceName:%s!~", settings.getServiceName());
    logger.info(L"[j]: ServiceDisplayName:%s!~", settings.getServiceDisplayName());
    logger.info(L"[j]: ServiceDescription:%s!~", settings.getServiceDescription());
    if (const std::wstring* metricsFile = settings.getMetricsFile()) {
        logger.info(L"[j]: MetricsFile:%s!~", *metricsFile);
    }
    printExecution(L"[e]", settings);
    logger.info(L"[e]: StopTimeout:%ld!~", static_cast<long>(settings.getStopTimeout()));
    if (const std::wstring* marker = settings.getStartedMarker()) {
        logger.info(L"[e]: Started marker: %s", *marker);
    }
    if (const Duration* timeout = settings.getStartedTimeout()) {
        logger.info(L"[e]: StartedTimeout:%s!~", timeout->text);
    }
    printRestartPolicy(settings.getRestartPolicy());
    printLog(L"OutputLog", settings.getOutputLog());
    printLog(L"ErrorLog", settings.getErrorLog());
    if (const std::wstring* environmentFile = settings.getEnvironmentFile()) {
        logger.info(L"[e]: EnvironmentFile:%s!~", *environmentFile);
    }
    printResources(settings.getResources());
    if (settings.getRecyclePolicy().any()) {
        logger.info(L"[e]: Recycle:%s!~", formatRecyclePolicy(settings.getRecyclePolicy()));
    }
    if (const ExecutionSettings* stopCommand = settings.getStopCommand()) {
        printExecution(L"[s]", *stopCommand);
        logger.info(L"[s]: DISABLED:false!~");
    } else {
        logger.info(L"[s]: DISABLED:true!~");
    }
    printHooks(settings);
    acceptWritableFiles(findWritableFiles(settings, L"", TrustedAccounts::forInstall(L"")), true);
    logger.debug(L"[?] DEBUG");
    logger.info(L"[?] INFO");
    logger.warn(L"[?] WARN");
    logger.error(L"[?] ERROR");
    return 0;
}
