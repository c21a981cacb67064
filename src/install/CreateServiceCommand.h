#pragma once

#include "install/ServiceControlManagerCommand.h"

class CreateServiceSettings;

// Registers the service with the control manager and writes its description.
class CreateServiceCommand : public ServiceControlManagerCommand {
public:
    explicit CreateServiceCommand(const CreateServiceSettings& settings);

protected:
    int executeWithManager(SC_HANDLE manager) override;

private:
    const CreateServiceSettings& createSettings_;
};

FailureMessage createServiceFailure(const std::wstring& text, DWORD code);
