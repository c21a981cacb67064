#pragma once

#include <windows.h>

#include <atomic>

#include "commandline/ServiceSettingsAction.h"
#include "common/InterruptHolder.h"
#include "common/UniqueResource.h"
#include "process/DelegateConsoleControlHandler.h"

// The console command: runs the configured program in the foreground exactly
// as the service would; a console control event becomes a stop request.
class ProcessAction : public ServiceSettingsAction,
                      public DelegateConsoleControlHandler<ProcessAction>,
                      public InterruptHolder {
public:
    // Windows ends the process about 5 s after a close, log-off or shut-down
    // event; the handler waits for the stop a little less than that.
    static const DWORD CLOSE_WAIT = 4500;

    ProcessAction();
    void printUsage(ConsoleWriter& writer) override;
    int ExecuteTaskAction(const Argz& arguments, const ServiceTaskSettings& settings) override;

    BOOL onConsoleControl(DWORD controlType);

private:
    // Set once the program and its stop command have ended.
    UniqueHandle stopped_;
    // Set when a Ctrl+C or Ctrl+Break came through the console the program shares.
    std::atomic<bool> consoleEventReceived_{false};
};
