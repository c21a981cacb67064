#pragma once

#include <string>

#include "common/UniqueResource.h"
#include "install/ServiceCommand.h"

class CreateServiceSettings;

// Lets the service's account start and stop it: adds an entry for the
// account, named with its domain, to the service's DACL. Nothing to do for
// LocalSystem.
class ServiceGrantDACLCommand : public ServiceCommand {
public:
    explicit ServiceGrantDACLCommand(const CreateServiceSettings& settings);

protected:
    int executeWithService(SC_HANDLE manager, SC_HANDLE service) override;

private:
    const CreateServiceSettings& createSettings_;
};

// The service's new DACL: the `current` entries and one that lets `account`
// start and stop the service. Without a current DACL, SYSTEM and Administrators
// keep full access.
int buildStartStopDacl(const std::wstring& account, PACL current, UniqueLocalMemory& result);
