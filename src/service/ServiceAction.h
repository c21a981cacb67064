#pragma once

#include <string>

#include "commandline/SimpleConsoleAction.h"
#include "common/InstanceCount.h"

class ServiceAction : public SimpleConsoleAction, public InstanceCount<ServiceAction> {
public:
    ServiceAction();
    void printUsage(ConsoleWriter& writer) override;
    int ExecuteAction(const Argz& arguments, const ServiceSettings& settings) override;

    // The command line the service control manager starts the service with:
    // this executable in service mode with the full settings path, and the
    // log file and /debug when the arguments name them.
    int generateServiceCommand(const Argz& arguments, std::wstring& command, std::wstring& logFile) const;
};
