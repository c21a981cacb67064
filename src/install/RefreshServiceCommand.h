#pragma once

#include "install/ServiceCommand.h"

class ServiceTaskSettings;

// Gives the installed service the display name, description, dependencies
// and time to stop at shutdown of the settings and says what changed. The
// account, the start type and the registered command line stay as they are.
class RefreshServiceCommand : public ServiceCommand {
public:
    explicit RefreshServiceCommand(const ServiceTaskSettings& settings);

protected:
    int executeWithService(SC_HANDLE manager, SC_HANDLE service) override;

private:
    DWORD shutdownTime_;
};

FailureMessage refreshServiceFailure(const std::wstring& text, DWORD code);
