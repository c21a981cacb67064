#pragma once

#include <string>

#include "install/LSAPolicyCommand.h"

// What to check when `account` could not be looked up with `error`; empty when
// the system's reason says it all.
std::wstring accountLookupHint(const std::wstring& account, DWORD error);

// Looks up the SID of the account in its domain and hands it to executeWithSid.
class LSAUserCommand : public LSAPolicyCommand {
public:
    using LSAPolicyCommand::LSAPolicyCommand;

protected:
    int executeWithPolicy(LSA_HANDLE policy) override;
    virtual int executeWithSid(LSA_HANDLE policy, PSID sid) = 0;
};
