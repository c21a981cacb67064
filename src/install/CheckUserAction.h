#pragma once

#include "commandline/UserConsoleAction.h"

// checkUser: checks that the account may log on as a service.
class CheckUserAction : public UserConsoleAction {
public:
    CheckUserAction();
    void printUsage(ConsoleWriter& writer) override;
    int ExecuteUserAction(const Argz& arguments, const UserSettings& settings) override;
};
