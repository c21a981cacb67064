#pragma once

#include <windows.h>

#include <string>

#include "common/Command.h"
#include "install/FailureMessage.h"
#include "install/ServiceRights.h"

class ServiceSettings;

// Opens the service control manager with the given rights and hands it to
// executeWithManager; the handle is closed when that returns.
class ServiceControlManagerCommand : public Command {
public:
    ServiceControlManagerCommand(const ManagerRights& managerRights, const ServiceSettings& settings);

    int execute() override;

protected:
    virtual int executeWithManager(SC_HANDLE manager) = 0;
    const ServiceSettings& settings() const { return settings_; }

private:
    const ManagerRights& managerRights_;
    const ServiceSettings& settings_;
};

// `text` says what failed; the code picks the rest of the line.
FailureMessage managerOpenFailure(const std::wstring& text, DWORD code);
