#include "commandline/SimpleConsoleAction.h"

#include "commandline/ArgumentKeys.h"
#include "commandline/Argz.h"
#include "logging/Logger.h"
#include "settings/FileServiceSettings.h"
#include "settings/Paths.h"

namespace {

const Logger logger(L"SimpleConsoleAction");

// Hands the service settings of the file to the action that asked for them.
class FileSettingsWrapper : public FileServiceSettings {
public:
    FileSettingsWrapper(const std::wstring& path, SimpleConsoleAction* action, const Argz* arguments)
        : FileServiceSettings(path), action_(action), arguments_(arguments)
    {
    }

protected:
    int onServiceSettings(const ServiceSettings& settings) override
    {
        return action_->ExecuteAction(*arguments_, settings);
    }

private:
    SimpleConsoleAction* action_;
    const Argz* arguments_;
};

}  // namespace

int resolveSettingsFile(const Argz& arguments, std::wstring& path)
{
    path.clear();
    std::wstring value;
    if (!arguments.getValue(KEY_SETTINGS, value)) {
        logger.error(L"Failed to find configuration file commandline parameter");
        return 1;
    }
    logger.debug(L"Resolving settings file: %s", value);
    if (getFullPath(value, path) != 0) {
        logger.error(L"Failed to compute full path for settings file: %s", value);
        return 1;
    }
    logger.debug(L"Resolved path to the settings file: %s", value);
    return 0;
}

int SimpleConsoleAction::execute(const Argz& arguments)
{
    std::wstring path;
    const int resolved = resolveSettingsFile(arguments, path);
    if (resolved != 0) {
        return resolved;
    }
    FileSettingsWrapper loader(path, this, &arguments);
    return loader.execute();
}
