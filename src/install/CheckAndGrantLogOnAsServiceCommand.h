#pragma once

#include "common/Command.h"

class UserSettings;

// Makes sure the account may log on as a service: checks it (when asked to
// check first), grants the right, and checks again.
class CheckAndGrantLogOnAsServiceCommand : public Command {
public:
    CheckAndGrantLogOnAsServiceCommand(const UserSettings& userSettings, bool checkFirst);

    int execute() override;

private:
    const UserSettings& userSettings_;
    bool checkFirst_;
};
