#pragma once

#include "commandline/UserConsoleAction.h"

// grantLogon: gives the account the right to log on as a service when it lacks it.
class GrantLogonAsServiceAction : public UserConsoleAction {
public:
    GrantLogonAsServiceAction();
    void printUsage(ConsoleWriter& writer) override;
    int ExecuteUserAction(const Argz& arguments, const UserSettings& settings) override;
};
