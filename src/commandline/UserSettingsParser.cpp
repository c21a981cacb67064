#include "commandline/UserSettingsParser.h"

#include <windows.h>

#include "commandline/ArgumentKeys.h"
#include "commandline/Argz.h"
#include "common/Format.h"
#include "common/WhiteSpace.h"
#include "install/ServiceAccountKind.h"
#include "logging/Logger.h"
#include "settings/SimpleSettings.h"

namespace {

bool isLocalSystem(const std::wstring& user, const std::wstring& domain)
{
    const auto same = [](const std::wstring& one, const wchar_t* other) {
        return CompareStringOrdinal(one.c_str(), -1, other, -1, TRUE) == CSTR_EQUAL;
    };
    return (same(user, L"LocalSystem") || same(user, L"SYSTEM")) &&
           (domain.empty() || same(domain, L".") || same(domain, L"NT AUTHORITY"));
}

}  // namespace

std::wstring userRefusal(const std::wstring& written, const std::wstring& user, const std::wstring& domain,
                         bool forService)
{
    if (trimWhiteSpace(user).empty()) {
        return format(L"/user=%s names no account: write the account the service runs as, such as "
                      L"/user=NT SERVICE\\<service name>, or install with /runAsSystem",
                      written);
    }
    if (forService && isLocalSystem(user, domain)) {
        return format(L"/user=%s is the local system account: install with /runAsSystem instead of /user=", written);
    }
    return std::wstring();
}

int UserSettingsParser::parseUserSettings(const Argz& arguments, SimpleUserSettings& settings, bool forService)
{
    const Logger logger(L"UserSettingsParser");
    std::wstring user;
    if (!arguments.getValue(KEY_USER, user)) {
        logger.error(L"/user=<user> parameter must be specified.");
        return 1;
    }
    const std::wstring written = user;
    std::wstring domain;
    const size_t separator = user.find(L'\\');
    const bool domainGiven = arguments.getValue(KEY_DOMAIN, domain);
    if (!domainGiven && separator != std::wstring::npos) {
        // "DOMAIN\name", as Windows writes accounts.
        domain = user.substr(0, separator);
        user = user.substr(separator + 1);
    }
    const std::wstring refusal = userRefusal(written, user, domain, forService);
    if (!refusal.empty()) {
        logger.error(refusal);
        return 1;
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
