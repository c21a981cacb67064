#pragma once

#include <string>

#include "install/LSAUserCommand.h"

// Gives the account the right to log on as a service and takes away the
// right that denies it.
class LSAGrantPrivilegeCommand : public LSAUserCommand {
public:
    explicit LSAGrantPrivilegeCommand(const UserSettings& userSettings);

protected:
    int executeWithSid(LSA_HANDLE policy, PSID sid) override;
};

// `text` says which change failed; the mapped status picks the rest.
FailureMessage accountRightFailure(const std::wstring& text, NTSTATUS status);
