#include "commandline/CreateServiceSettingsAction.h"

#include <windows.h>

#include "commandline/ArgumentKeys.h"
#include "commandline/Argz.h"
#include "common/TextConversion.h"
#include "install/ServiceAccountKind.h"
#include "logging/Logger.h"
#include "service/ServiceAction.h"
#include "settings/SimpleSettings.h"
#include "settings/StopTimeout.h"

namespace {

const Logger logger(L"CreateServiceSettingsAction");

bool isDelayed(const Argz& arguments, const wchar_t* key)
{
    std::wstring value;
    return arguments.getValue(key, value) && lowerCaseAscii(value) == L"delayed";
}

// Either argument with a value other than "true" or "delayed" switches
// automatic start off; "delayed" on either delays it.
void setStartType(const Argz& arguments, SimpleCreateServiceSettings& createSettings)
{
    const bool delayed = isDelayed(arguments, KEY_AUTOSTART) || isDelayed(arguments, KEY_AUTORUN);
    const bool autostart = (isDelayed(arguments, KEY_AUTOSTART) || arguments.getBool(KEY_AUTOSTART, true)) &&
                           (isDelayed(arguments, KEY_AUTORUN) || arguments.getBool(KEY_AUTORUN, true));
    createSettings.setAutostart(autostart);
    createSettings.setDelayedAutostart(autostart && delayed);
}

}  // namespace

int CreateServiceSettingsAction::ExecuteTaskAction(const Argz& arguments, const ServiceTaskSettings& settings)
{
    std::wstring command;
    std::wstring logFile;
    const int generated = ServiceAction().generateServiceCommand(arguments, command, logFile);
    if (generated != 0) {
        return generated;
    }
    if (!logFile.empty()) {
        logger.info(L"Service log file is set to: %s", logFile);
    }

    SimpleCreateServiceSettings createSettings(&settings, command);
    if (arguments.hasFlag(FLAG_RUN_AS_SYSTEM)) {
        createSettings.setRunAsSystem(true);
        std::wstring user;
        if (arguments.getValue(KEY_USER, user)) {
            logger.warn(L"/user=%s is ignored: with /runAsSystem the service runs as LocalSystem", user);
        }
        logger.info(L"Installing service unser LOCAL_SYSTEM account");
    } else {
        if (parseUserSettings(arguments, createSettings, true) != 0) {
            return 1;
        }
        const std::wstring serviceName = settings.getServiceName();
        const CreateServiceSettings& account = createSettings;
        if (serviceAccountKind(account) == ServiceAccountKind::VIRTUAL &&
            CompareStringOrdinal(createSettings.getUser().c_str(), -1, serviceName.c_str(), -1, TRUE) != CSTR_EQUAL) {
            logger.error(L"NT SERVICE\\%s is not the virtual account of service %s: write /user=NT SERVICE\\%s",
                         createSettings.getUser(), serviceName, serviceName);
            return 1;
        }
        logger.info(L"Installing service under %s (domain=%s) account", createSettings.getUser(),
                    createSettings.getDomain());
    }
    setStartType(arguments, createSettings);
    createSettings.setStopTimeout(timeToStop(settings));
    return ExecuteCreateAction(arguments, createSettings, settings);
}
