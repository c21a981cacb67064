#pragma once

#include <windows.h>

#include "common/Command.h"
#include "common/InterruptHolder.h"

class PipeReaderCallback;
class ServiceTaskSettings;

// One run of the configured program as the service task settings describe
// it: the listed system environment variables copied first, and the stop
// command or immediate termination as the way to stop it.
class ServiceProcessCommand : public Command, public InterruptHolder {
public:
    ServiceProcessCommand(InterruptHolder* parent, const ServiceTaskSettings* settings,
                          PipeReaderCallback* outputCallback)
        : InterruptHolder(parent), settings_(settings), outputCallback_(outputCallback)
    {
    }

    // 0 when the program ran, 1 when it could not be started.
    int execute() override;
    // The program's exit code once it has ended.
    DWORD exitCode() const { return exitCode_; }

private:
    void copySystemEnvironmentVariables();

    const ServiceTaskSettings* settings_;
    PipeReaderCallback* outputCallback_;
    DWORD exitCode_ = 0;
};
