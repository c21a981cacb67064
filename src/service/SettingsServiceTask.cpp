#include "service/SettingsServiceTask.h"

#include "eventlog/EventLogAppender.h"
#include "logging/FileAppender.h"
#include "logging/Logger.h"
#include "logging/ServiceEvents.h"
#include "security/TrustedAccounts.h"
#include "security/WriteAccessCheck.h"
#include "service/ServiceEventContext.h"
#include "service/ServiceStatus.h"
#include "settings/FileServiceSettings.h"
#include "settings/FileTaskSettings.h"
#include "settings/LoggingFromSettings.h"
#include "settings/SettingsInterfaces.h"

namespace {

const Logger logger(L"SettingsServiceTask");

// Hands the service part of the file to the task.
class ServiceSettingsLoader : public FileServiceSettings {
public:
    ServiceSettingsLoader(const std::wstring& path, SettingsServiceTask* task) : FileServiceSettings(path), task_(task)
    {
    }

protected:
    int onServiceSettings(const ServiceSettings& settings) override
    {
        task_->runWithServiceSettings(settings);
        return 0;
    }

private:
    SettingsServiceTask* task_;
};

// Hands the task settings of the file to the task.
class SettingsLoader : public FileTaskSettings {
public:
    SettingsLoader(const std::wstring& path, const ServiceSettings* settings, SettingsServiceTask* task)
        : FileTaskSettings(path, settings), task_(task)
    {
    }

protected:
    int onTaskSettings(const ServiceTaskSettings& settings) override
    {
        task_->runWithSettings(settings);
        return 0;
    }

private:
    SettingsServiceTask* task_;
};

}  // namespace

void SettingsServiceTask::run()
{
    ServiceSettingsLoader loader(launch_.settingsFile, this);
    if (loader.execute() != 0) {
        logger.error(L"Failed to load service task settings. Service will exit");
        reportFailure(1, GiveUpReason::SETTINGS_REFUSED);
    }
}

void SettingsServiceTask::runWithServiceSettings(const ServiceSettings& settings)
{
    ServiceStatus* status = context_->getStatus();
    status->beat();
    // The name the service was started under: whoever may change the file
    // must not choose the source of a service's records.
    EventLogAppender eventLog(launch_.serviceName.empty() ? settings.getServiceName() : launch_.serviceName);
    LoggerHolder::addAppender(&eventLog);
    // Records the log file lost are counted last, while the Event Log still
    // hears what the file cannot take.
    struct LossReportAtStop {
        ~LossReportAtStop() { LoggerHolder::fileAppender().reportLossAtStop(); }
    } lossReport;
    // Before the settings say where the log goes: whoever may change the file
    // could otherwise have the service append to a file of their choosing.
    const bool trusted = acceptWritableFiles(
        findWritableSettingsFile(launch_.settingsFile, launch_.wrapperConfig, TrustedAccounts::forService()),
        launch_.writableFilesAccepted);
    status->beat();
    if (!trusted) {
        logger.error(L"Failed to start process: its files may be changed by ordinary users");
        reportFailure(1, GiveUpReason::FILES_REFUSED);
        return;
    }
    configureLoggingFromSettings(settings);
    SettingsLoader loader(launch_.settingsFile, &settings, this);
    if (loader.execute() != 0) {
        logger.error(L"Failed to load service task settings. Service will exit");
        reportFailure(1, GiveUpReason::SETTINGS_REFUSED);
    }
}
