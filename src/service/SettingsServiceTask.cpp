#include "service/SettingsServiceTask.h"

#include "logging/Logger.h"
#include "logging/ServiceEvents.h"
#include "service/ServiceEventContext.h"
#include "settings/FileTaskSettings.h"
#include "settings/SettingsInterfaces.h"

namespace {

const Logger logger(L"SettingsServiceTask");

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
    const ServiceSettings* settings = context_->getSettings();
    SettingsLoader loader(settings->getSettingsFile(), settings, this);
    if (loader.execute() != 0) {
        logger.error(L"Failed to load service task settings. Service will exit");
        reportFailure(1, GiveUpReason::SETTINGS_REFUSED);
    }
}
