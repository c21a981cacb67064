#pragma once

#include "install/ServiceCommand.h"

// Marks the service for deletion, which the control manager carries out once
// the service's last handle is closed, and removes its event log source.
class DeleteServiceCommand : public ServiceCommand {
public:
    explicit DeleteServiceCommand(const ServiceSettings& settings);

protected:
    int executeWithService(SC_HANDLE manager, SC_HANDLE service) override;
};

FailureMessage deleteServiceFailure(const std::wstring& text, DWORD code);
