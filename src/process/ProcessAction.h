#pragma once

#include <windows.h>

#include "commandline/ServiceSettingsAction.h"
#include "common/InterruptHolder.h"
#include "process/DelegateConsoleControlHandler.h"

// The console command: runs the configured program in the foreground exactly
// as the service would; a console control event becomes a stop request.
class ProcessAction : public ServiceSettingsAction,
                      public DelegateConsoleControlHandler<ProcessAction>,
                      public InterruptHolder {
public:
    ProcessAction();
    void printUsage(ConsoleWriter& writer) override;
    int ExecuteTaskAction(const Argz& arguments, const ServiceTaskSettings& settings) override;

    BOOL onConsoleControl(DWORD controlType);
};
