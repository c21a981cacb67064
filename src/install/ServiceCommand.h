#pragma once

#include "install/ServiceControlManagerCommand.h"

// Opens the service named by the settings with the given rights and hands it
// to executeWithService; the handle is closed when that returns.
class ServiceCommand : public ServiceControlManagerCommand {
public:
    ServiceCommand(const ServiceRights& serviceRights, const ServiceSettings& settings);
    // The error of OpenServiceW when it failed, ERROR_SUCCESS otherwise.
    DWORD openServiceError() const { return openServiceError_; }

protected:
    int executeWithManager(SC_HANDLE manager) override;
    virtual int executeWithService(SC_HANDLE manager, SC_HANDLE service) = 0;

private:
    const ServiceRights& serviceRights_;
    DWORD openServiceError_ = ERROR_SUCCESS;
};

FailureMessage openServiceFailure(const std::wstring& text, DWORD code);
