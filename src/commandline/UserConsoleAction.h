#pragma once

#include "commandline/ConsoleAction.h"
#include "commandline/UserSettingsParser.h"

class UserSettings;

// A command that needs an account but no settings file.
class UserConsoleAction : public ConsoleAction, public UserSettingsParser {
public:
    using ConsoleAction::ConsoleAction;

    int execute(const Argz& arguments) override;
    virtual int ExecuteUserAction(const Argz& arguments, const UserSettings& settings) = 0;
};
