#pragma once

#include <string>

#include "commandline/ConsoleAction.h"
#include "common/InstanceCount.h"

// The service mode: hands the process to the service control dispatcher at
// once; the service's main function reads the settings.
class ServiceAction : public ConsoleAction, public InstanceCount<ServiceAction> {
public:
    ServiceAction();
    void printUsage(ConsoleWriter& writer) override;
    int execute(const Argz& arguments) override;

    // The command line the service control manager starts the service with:
    // this executable in service mode with the full settings path, and the
    // log file and /debug when the arguments name them.
    int generateServiceCommand(const Argz& arguments, std::wstring& command, std::wstring& logFile) const;
};
