#pragma once

#include "install/ServiceCommand.h"

// Marks the service for deletion; the control manager removes it once its
// last handle is closed.
class DeleteServiceCommand : public ServiceCommand {
public:
    explicit DeleteServiceCommand(const ServiceSettings& settings);

protected:
    int executeWithService(SC_HANDLE manager, SC_HANDLE service) override;
};

FailureMessage deleteServiceFailure(const std::wstring& text, DWORD code);
