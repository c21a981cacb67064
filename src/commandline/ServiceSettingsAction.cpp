#include "commandline/ServiceSettingsAction.h"

#include "process/LaunchLimits.h"
#include "settings/FileTaskSettings.h"
#include "settings/SettingsInterfaces.h"

namespace {

// Hands the task settings of the file to the action that asked for them,
// unless CreateProcess would refuse to start their programs.
class FullSettingsLoader : public FileTaskSettings {
public:
    FullSettingsLoader(const std::wstring& path, const ServiceSettings* serviceSettings, const Argz* arguments,
                       ServiceSettingsAction* action)
        : FileTaskSettings(path, serviceSettings), arguments_(arguments), action_(action)
    {
    }

protected:
    int onTaskSettings(const ServiceTaskSettings& settings) override
    {
        const ExecutionSettings* stopCommand = settings.getStopCommand();
        if (checkLaunchLimits(settings) != 0 || (stopCommand != nullptr && checkLaunchLimits(*stopCommand) != 0)) {
            return 1;
        }
        return action_->ExecuteTaskAction(*arguments_, settings);
    }

private:
    const Argz* arguments_;
    ServiceSettingsAction* action_;
};

}  // namespace

int ServiceSettingsAction::ExecuteAction(const Argz& arguments, const ServiceSettings& settings)
{
    FullSettingsLoader loader(settings.getSettingsFile(), &settings, &arguments, this);
    return loader.execute();
}
