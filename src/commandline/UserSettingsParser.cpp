#include "commandline/UserSettingsParser.h"

#include "commandline/ArgumentKeys.h"
#include "commandline/Argz.h"
#include "install/ServiceAccountKind.h"
#include "logging/Logger.h"
#include "settings/SimpleSettings.h"

int UserSettingsParser::parseUserSettings(const Argz& arguments, SimpleUserSettings& settings, bool forService)
{
    const Logger logger(L"UserSettingsParser");
    std::wstring user;
    if (!arguments.getValue(KEY_USER, user)) {
        logger.error(L"/user=<user> parameter must be specified.");
        return 1;
    }
    std::wstring domain;
    const size_t separator = user.find(L'\\');
    const bool domainGiven = arguments.getValue(KEY_DOMAIN, domain);
    if (!domainGiven && separator != std::wstring::npos) {
        // "DOMAIN\name", as Windows writes accounts.
        domain = user.substr(0, separator);
        user = user.substr(separator + 1);
    }
    settings.setUser(user);
    settings.setDomain(domain.empty() ? L"." : domain);
    std::wstring password;
    const bool hasPassword = arguments.getValue(KEY_PASSWORD, password);
    const ServiceAccountKind kind = serviceAccountKind(settings);
    if (forService && !needsPassword(kind)) {
        if (hasPassword) {
            logger.warn(L"/password= is ignored: %s is a %s, which has no password", registeredAccountName(settings),
                        serviceAccountKindName(kind));
        }
        return 0;
    }
    if (!hasPassword) {
        logger.error(L"/password=<password> parameter must be specified.");
        return 1;
    }
    settings.setPassword(password);
    if (domain.empty()) {
        logger.warn(L"Domain not specified. Will use localhost");
    }
    return 0;
}

std::wstring UserSettingsParser::userUsage() { return L"/user=<user> [/domain=<domain>] /password=<password>"; }
