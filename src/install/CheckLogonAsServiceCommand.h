#pragma once

#include "install/LogonUserCommand.h"

// Succeeds when the account may log on as a service with its password.
class CheckLogonAsServiceCommand : public LogonUserCommand {
public:
    explicit CheckLogonAsServiceCommand(const UserSettings& userSettings);

protected:
    int executeWithToken(HANDLE token) override;
};
