#pragma once

#include <optional>
#include <string>

#include "install/QueryServiceStatusCommand.h"
#include "install/ServiceControlAction.h"

// status: shows the state of the service. With /format=json standard output
// holds one JSON object whatever happens, the failures included.
class ServiceStatusAction : public ServiceControlAction {
public:
    ServiceStatusAction();
    void printUsage(ConsoleWriter& writer) override;
    int execute(const Argz& arguments) override;
    int ExecuteAction(const Argz& arguments, const ServiceSettings& settings) override;

private:
    QueryServiceStatusCommand::Format format_ = QueryServiceStatusCommand::Format::Text;
    // The service asked about, once known, and whether it exists.
    std::optional<std::wstring> serviceName_;
    bool serviceMissing_ = false;
};

// The JSON object of a status that could not be shown: the service's state
// "not-installed" when it does not exist, else the failure's message; the name
// is null when it is not known.
std::wstring statusFailureJson(const std::optional<std::wstring>& name, bool serviceMissing,
                               const std::wstring& failure);
