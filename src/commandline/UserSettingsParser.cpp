#include "commandline/UserSettingsParser.h"

#include "commandline/ArgumentKeys.h"
#include "commandline/Argz.h"
#include "logging/Logger.h"
#include "settings/SimpleSettings.h"

int UserSettingsParser::parseUserSettings(const Argz& arguments, SimpleUserSettings& settings)
{
    const Logger logger(L"UserSettingsParser");
    std::wstring value;
    if (!arguments.getValue(KEY_USER, value)) {
        logger.error(L"/user=<user> parameter must be specified.");
        return 1;
    }
    settings.setUser(value);
    if (!arguments.getValue(KEY_PASSWORD, value)) {
        logger.error(L"/password=<password> parameter must be specified.");
        return 1;
    }
    settings.setPassword(value);
    if (!arguments.getValue(KEY_DOMAIN, value)) {
        logger.warn(L"Domain not specified. Will use localhost");
        settings.setDomain(L".");
    } else {
        settings.setDomain(value);
    }
    return 0;
}

std::wstring UserSettingsParser::userUsage() { return L"/user=<user> [/domain=<domain>] /password=<password>"; }
