#include "install/LogonUserCommand.h"

#include "common/UniqueResource.h"
#include "logging/ErrorText.h"
#include "logging/Logger.h"
#include "settings/SettingsInterfaces.h"

namespace {
const Logger logger(L"LogonUserCommand");
}

FailureMessage logonFailure(const std::wstring& text, DWORD code)
{
    if (code == ERROR_PRIVILEGE_NOT_HELD) {
        return {LEVEL_WARN, format(L"%s Not enough rights to check user account. SE_TCB_NAME is not given. %s", text,
                                   errorText(code))};
    }
    return {LEVEL_ERROR, format(L"%s %s", text, errorText(code))};
}

LogonUserCommand::LogonUserCommand(const UserSettings& userSettings, const LogonType& logonType)
    : userSettings_(userSettings), logonType_(logonType)
{
}

int LogonUserCommand::execute()
{
    const std::wstring user = userSettings_.getUser();
    const std::wstring domain = userSettings_.getDomain();
    const std::wstring password = userSettings_.getPassword();
    HANDLE logonToken = nullptr;
    if (!LogonUserW(user.c_str(), domain.c_str(), password.c_str(), logonType_.value, LOGON32_PROVIDER_DEFAULT,
                    &logonToken)) {
        const DWORD code = GetLastError();
        const FailureMessage failure = logonFailure(format(L"Failed to Logon user %s\\%s.", domain, user), code);
        logger.log(failure.level, failure.text);
        return failure.level == LEVEL_WARN ? 0 : 1;
    }
    const UniqueHandle token(logonToken);
    logger.debug(L"User %s logged in as %s", user, logonType_.name);
    return executeWithToken(token.get());
}
