#pragma once

#include <windows.h>

#include <string>

#include "common/Command.h"
#include "install/FailureMessage.h"
#include "install/LogonType.h"

class UserSettings;

// Logs the account on with the given logon type and hands the token to
// executeWithToken; the token is closed when that returns.
class LogonUserCommand : public Command {
public:
    LogonUserCommand(const UserSettings& userSettings, const LogonType& logonType);

    int execute() override;

protected:
    virtual int executeWithToken(HANDLE token) = 0;

private:
    const UserSettings& userSettings_;
    const LogonType& logonType_;
};

// A warning means the logon could not be tried, which does not block the caller.
FailureMessage logonFailure(const std::wstring& text, DWORD code);
