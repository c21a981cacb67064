#include "settings/SimpleSettings.h"

SimpleServiceSettings::SimpleServiceSettings(std::wstring serviceName, std::wstring displayName,
                                             std::wstring description, std::wstring settingsFile)
    : serviceName_(std::move(serviceName)),
      displayName_(std::move(displayName)),
      description_(std::move(description)),
      settingsFile_(std::move(settingsFile))
{
}

SimpleCreateServiceSettings::SimpleCreateServiceSettings(const ServiceSettings* service,
                                                         std::wstring serviceCommandLine)
    : ServiceSettingsForwarder<CreateServiceSettings>(service), serviceCommandLine_(std::move(serviceCommandLine))
{
}

SimpleServiceTaskSettings::SimpleServiceTaskSettings(const ServiceSettings* service)
    : ServiceSettingsForwarder<ServiceTaskSettings>(service)
{
}

SimpleHookSettings::SimpleHookSettings(const ExecutionSettings& command, const Duration& timeout)
    : workDir_(command.getWorkDir()), program_(command.getProgram()), arguments_(command.getArguments()),
      timeout_(timeout)
{
}

const HookSettings* SimpleServiceTaskSettings::getHook(Hook hook) const
{
    const std::optional<SimpleHookSettings>& command = hooks_[static_cast<size_t>(hook)];
    return command ? &*command : nullptr;
}

const std::wstring* SimpleServiceTaskSettings::getEnvironmentFile() const
{
    return environmentFile_.empty() ? nullptr : &environmentFile_;
}

const ExecutionSettings* SimpleServiceTaskSettings::getStopCommand() const
{
    return stopCommandEnabled_ ? &stopCommand_ : nullptr;
}

const std::wstring* SimpleServiceTaskSettings::getStartedMarker() const
{
    return startedMarker_.empty() ? nullptr : &startedMarker_;
}

const Duration* SimpleServiceTaskSettings::getStartedTimeout() const
{
    return startedTimeout_ ? &*startedTimeout_ : nullptr;
}

const HealthCheck* SimpleServiceTaskSettings::getHealthCheck() const
{
    return healthCheck_ ? &*healthCheck_ : nullptr;
}

void SimpleServiceTaskSettings::setStopCommand(const ExecutionSettings& stopCommand)
{
    stopCommand_.setWorkDir(stopCommand.getWorkDir());
    stopCommand_.setProgram(stopCommand.getProgram());
    stopCommand_.setArguments(stopCommand.getArguments());
    stopCommandEnabled_ = true;
}
