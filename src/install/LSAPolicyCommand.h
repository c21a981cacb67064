#pragma once

#include <windows.h>
#include <ntsecapi.h>

#include <string>

#include "common/Command.h"
#include "install/FailureMessage.h"
#include "install/PolicyRights.h"

class UserSettings;

// Opens the local LSA policy with the given rights and hands it to
// executeWithPolicy; the policy is closed when that returns.
class LSAPolicyCommand : public Command {
public:
    LSAPolicyCommand(const PolicyRights& policyRights, const UserSettings& userSettings);

    int execute() override;

protected:
    virtual int executeWithPolicy(LSA_HANDLE policy) = 0;
    const UserSettings& userSettings() const { return userSettings_; }

private:
    const PolicyRights& policyRights_;
    const UserSettings& userSettings_;
};

// LSA calls answer an NTSTATUS; it is mapped to a Windows error code to choose the line.
FailureMessage policyOpenFailure(const std::wstring& text, NTSTATUS status);
