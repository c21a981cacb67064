#pragma once

#include "install/LSAPolicyCommand.h"

// Looks up the SID of the account in its domain and hands it to executeWithSid.
class LSAUserCommand : public LSAPolicyCommand {
public:
    using LSAPolicyCommand::LSAPolicyCommand;

protected:
    int executeWithPolicy(LSA_HANDLE policy) override;
    virtual int executeWithSid(LSA_HANDLE policy, PSID sid) = 0;
};
