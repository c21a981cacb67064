#pragma once

#include "install/ServiceCommand.h"

// Gives the installed service the display name, description and dependencies
// of the settings and says what changed. The account, the start type and the
// registered command line stay as they are.
class RefreshServiceCommand : public ServiceCommand {
public:
    explicit RefreshServiceCommand(const ServiceSettings& settings);

protected:
    int executeWithService(SC_HANDLE manager, SC_HANDLE service) override;
};

FailureMessage refreshServiceFailure(const std::wstring& text, DWORD code);
