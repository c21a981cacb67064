#pragma once

#include "install/ServiceControlManagerCommand.h"

class CreateServiceSettings;

// The signature of ChangeServiceConfig2W, so that a test can stand in for a
// setting Wine does not keep.
using ChangeServiceConfig2Call = BOOL(WINAPI*)(SC_HANDLE service, DWORD infoLevel, LPVOID info);

// Registers the service with the control manager, writes its description,
// delays its automatic start when asked, gives it the time its stop sequence
// needs at shutdown, lets its recovery actions apply to stops with an error
// and registers its event log source.
class CreateServiceCommand : public ServiceControlManagerCommand {
public:
    explicit CreateServiceCommand(const CreateServiceSettings& settings,
                                  ChangeServiceConfig2Call changeConfig2 = ChangeServiceConfig2W);

protected:
    int executeWithManager(SC_HANDLE manager) override;

private:
    void writeDescription(SC_HANDLE service, const std::wstring& name) const;
    void delayAutomaticStart(SC_HANDLE service, const std::wstring& name) const;
    void setShutdownTime(SC_HANDLE service, const std::wstring& name) const;
    void applyRecoveryActionsToErrorStops(SC_HANDLE service, const std::wstring& name) const;

    const CreateServiceSettings& createSettings_;
    ChangeServiceConfig2Call changeConfig2_;
};

FailureMessage createServiceFailure(const std::wstring& text, DWORD code);
