#pragma once

#include "install/LSAUserCommand.h"

// Logs the string form of the account's SID.
class DumpSIDCommand : public LSAUserCommand {
public:
    explicit DumpSIDCommand(const UserSettings& userSettings);

protected:
    int executeWithSid(LSA_HANDLE policy, PSID sid) override;
};
