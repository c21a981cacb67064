#pragma once

#include "commandline/CreateServiceSettingsAction.h"

class UserSettings;

// Before a service is created for an account: checks that the account may
// log on as a service and, unless told otherwise, grants it that right.
class CreateServiceCheckAccountAction : public CreateServiceSettingsAction {
public:
    using CreateServiceSettingsAction::CreateServiceSettingsAction;

    int ExecuteCreateAction(const Argz& arguments, const CreateServiceSettings& createSettings,
                            const ServiceTaskSettings& taskSettings) override;

protected:
    // The two operations on the account; 0 for success.
    virtual int checkLogonAsService(const UserSettings& account);
    virtual int grantLogonAsService(const UserSettings& account);
};
