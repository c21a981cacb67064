#pragma once

#include <optional>
#include <string>
#include <vector>

#include "settings/SettingsInterfaces.h"
#include "settings/StopTimeout.h"

// Value holders behind the settings interfaces. The wrapping holders forward
// the service values to a ServiceSettings they do not own, which must outlive them.

class SimpleLoggerSettings : public LoggerSettings {
public:
    const std::wstring* getLogFile() const override { return logFile_.empty() ? nullptr : &logFile_; }
    const std::wstring* getLogLevel() const override { return logLevel_.empty() ? nullptr : &logLevel_; }
    const RollPolicy& getLogRollPolicy() const override { return logRollPolicy_; }

    void setLogFile(const std::wstring& value) { logFile_ = value; }
    void setLogLevel(const std::wstring& value) { logLevel_ = value; }
    void setLogRollPolicy(const RollPolicy& value) { logRollPolicy_ = value; }

private:
    std::wstring logFile_;
    std::wstring logLevel_;
    RollPolicy logRollPolicy_;
};

class SimpleServiceSettings : public ServiceSettings, public SimpleLoggerSettings {
public:
    SimpleServiceSettings(std::wstring serviceName, std::wstring displayName, std::wstring description,
                          std::wstring settingsFile);

    const std::wstring* getLogFile() const override { return SimpleLoggerSettings::getLogFile(); }
    const std::wstring* getLogLevel() const override { return SimpleLoggerSettings::getLogLevel(); }
    const RollPolicy& getLogRollPolicy() const override { return SimpleLoggerSettings::getLogRollPolicy(); }
    std::wstring getServiceName() const override { return serviceName_; }
    std::wstring getServiceDisplayName() const override { return displayName_; }
    std::wstring getServiceDescription() const override { return description_; }
    std::wstring getSettingsFile() const override { return settingsFile_; }
    const std::vector<std::wstring>& getDependencies() const override { return dependencies_; }
    const std::wstring* getMetricsFile() const override { return metricsFile_.empty() ? nullptr : &metricsFile_; }

    void addDependency(const std::wstring& name) { dependencies_.push_back(name); }
    void setMetricsFile(const std::wstring& file) { metricsFile_ = file; }

private:
    std::wstring serviceName_;
    std::wstring displayName_;
    std::wstring description_;
    std::wstring settingsFile_;
    std::vector<std::wstring> dependencies_;
    std::wstring metricsFile_;
};

class SimpleUserSettings : public UserSettings {
public:
    std::wstring getUser() const override { return user_; }
    std::wstring getDomain() const override { return domain_; }
    std::wstring getPassword() const override { return password_; }

    void setUser(const std::wstring& value) { user_ = value; }
    void setDomain(const std::wstring& value) { domain_ = value; }
    void setPassword(const std::wstring& value) { password_ = value; }

private:
    std::wstring user_;
    std::wstring domain_ = L".";
    std::wstring password_;
};

// Forwards the ServiceSettings operations to a wrapped object.
template <typename Interface>
class ServiceSettingsForwarder : public Interface {
public:
    explicit ServiceSettingsForwarder(const ServiceSettings* service) : service_(service) {}

    const std::wstring* getLogFile() const override { return service_->getLogFile(); }
    const std::wstring* getLogLevel() const override { return service_->getLogLevel(); }
    const RollPolicy& getLogRollPolicy() const override { return service_->getLogRollPolicy(); }
    std::wstring getServiceName() const override { return service_->getServiceName(); }
    std::wstring getServiceDisplayName() const override { return service_->getServiceDisplayName(); }
    std::wstring getServiceDescription() const override { return service_->getServiceDescription(); }
    std::wstring getSettingsFile() const override { return service_->getSettingsFile(); }
    const std::vector<std::wstring>& getDependencies() const override { return service_->getDependencies(); }
    const std::wstring* getMetricsFile() const override { return service_->getMetricsFile(); }

private:
    const ServiceSettings* service_;
};

class SimpleCreateServiceSettings : public ServiceSettingsForwarder<CreateServiceSettings>,
                                    public SimpleUserSettings {
public:
    SimpleCreateServiceSettings(const ServiceSettings* service, std::wstring serviceCommandLine);

    std::wstring getUser() const override { return SimpleUserSettings::getUser(); }
    std::wstring getDomain() const override { return SimpleUserSettings::getDomain(); }
    std::wstring getPassword() const override { return SimpleUserSettings::getPassword(); }
    bool isAutostart() const override { return autostart_; }
    bool isDelayedAutostart() const override { return delayedAutostart_; }
    bool isRunAsSystem() const override { return runAsSystem_; }
    int getStopTimeout() const override { return stopTimeout_; }
    std::wstring getServiceCommandLine() const override { return serviceCommandLine_; }

    void setAutostart(bool value) { autostart_ = value; }
    void setDelayedAutostart(bool value) { delayedAutostart_ = value; }
    void setRunAsSystem(bool value) { runAsSystem_ = value; }
    void setStopTimeout(int milliseconds) { stopTimeout_ = milliseconds; }

private:
    std::wstring serviceCommandLine_;
    bool autostart_ = true;
    bool delayedAutostart_ = false;
    bool runAsSystem_ = false;
    int stopTimeout_ = DEFAULT_STOP_TIMEOUT;
};

class SimpleExecutionSettings : public ExecutionSettings {
public:
    std::wstring getWorkDir() const override { return workDir_; }
    std::wstring getProgram() const override { return program_; }
    std::wstring getArguments() const override { return arguments_; }

    void setWorkDir(const std::wstring& value) { workDir_ = value; }
    void setProgram(const std::wstring& value) { program_ = value; }
    void setArguments(const std::wstring& value) { arguments_ = value; }

private:
    std::wstring workDir_;
    std::wstring program_;
    std::wstring arguments_;
};

class SimpleHookSettings : public HookSettings {
public:
    SimpleHookSettings(const ExecutionSettings& command, const Duration& timeout);

    std::wstring getWorkDir() const override { return workDir_; }
    std::wstring getProgram() const override { return program_; }
    std::wstring getArguments() const override { return arguments_; }
    const Duration& getTimeout() const override { return timeout_; }

private:
    std::wstring workDir_;
    std::wstring program_;
    std::wstring arguments_;
    Duration timeout_;
};

class SimpleServiceTaskSettings : public ServiceSettingsForwarder<ServiceTaskSettings>,
                                  public SimpleExecutionSettings {
public:
    explicit SimpleServiceTaskSettings(const ServiceSettings* service);

    std::wstring getWorkDir() const override { return SimpleExecutionSettings::getWorkDir(); }
    std::wstring getProgram() const override { return SimpleExecutionSettings::getProgram(); }
    std::wstring getArguments() const override { return SimpleExecutionSettings::getArguments(); }
    int getStopTimeout() const override { return stopTimeout_; }
    ConsoleEvent getConsoleEvent() const override { return consoleEvent_; }
    const ExecutionSettings* getStopCommand() const override;
    const std::wstring* getStartedMarker() const override;
    const std::vector<std::wstring>& getEnvironmentVariables() const override { return environmentVariables_; }
    OutputEncoding getOutputEncoding() const override { return outputEncoding_; }
    const std::vector<EnvironmentVariable>& getEnvironment() const override { return environment_; }
    const RestartPolicy& getRestartPolicy() const override { return restartPolicy_; }
    const Duration* getStartedTimeout() const override;
    const std::vector<ProbeTarget>& getReadinessProbes() const override { return readinessProbes_; }
    const HealthCheck* getHealthCheck() const override;
    const OutputLogSettings* getOutputLog() const override { return outputLog_ ? &*outputLog_ : nullptr; }
    const ProgramResources& getResources() const override { return resources_; }
    const RecyclePolicy& getRecyclePolicy() const override { return recyclePolicy_; }
    const OutputLogSettings* getErrorLog() const override { return errorLog_ ? &*errorLog_ : nullptr; }
    const HookSettings* getHook(Hook hook) const override;
    const std::wstring* getEnvironmentFile() const override;

    void setStopCommand(const ExecutionSettings& stopCommand);
    void setStopTimeout(int milliseconds) { stopTimeout_ = milliseconds; }
    void setConsoleEvent(ConsoleEvent event) { consoleEvent_ = event; }
    void setStartedMarker(const std::wstring& marker) { startedMarker_ = marker; }
    void addEnvironmentVariable(const std::wstring& name) { environmentVariables_.push_back(name); }
    void setOutputEncoding(OutputEncoding encoding) { outputEncoding_ = encoding; }
    void addToEnvironment(const EnvironmentVariable& variable) { environment_.push_back(variable); }
    void setRestartPolicy(const RestartPolicy& policy) { restartPolicy_ = policy; }
    void setStartedTimeout(const Duration& timeout) { startedTimeout_ = timeout; }
    void addReadinessProbe(const ProbeTarget& target) { readinessProbes_.push_back(target); }
    void setHealthCheck(const HealthCheck& check) { healthCheck_ = check; }
    void setOutputLog(const OutputLogSettings& outputLog) { outputLog_ = outputLog; }
    void setResources(const ProgramResources& resources) { resources_ = resources; }
    void setRecyclePolicy(const RecyclePolicy& policy) { recyclePolicy_ = policy; }
    void setErrorLog(const OutputLogSettings& errorLog) { errorLog_ = errorLog; }
    void setHook(Hook hook, const SimpleHookSettings& command) { hooks_[static_cast<size_t>(hook)] = command; }
    void setEnvironmentFile(const std::wstring& file) { environmentFile_ = file; }

private:
    SimpleExecutionSettings stopCommand_;
    bool stopCommandEnabled_ = false;
    int stopTimeout_ = 0;
    ConsoleEvent consoleEvent_ = ConsoleEvent::None;
    std::wstring startedMarker_;
    std::vector<std::wstring> environmentVariables_;
    OutputEncoding outputEncoding_ = OutputEncoding::automatic();
    std::vector<EnvironmentVariable> environment_;
    RestartPolicy restartPolicy_;
    std::optional<Duration> startedTimeout_;
    std::vector<ProbeTarget> readinessProbes_;
    std::optional<HealthCheck> healthCheck_;
    std::optional<OutputLogSettings> outputLog_;
    ProgramResources resources_;
    RecyclePolicy recyclePolicy_;
    std::optional<OutputLogSettings> errorLog_;
    std::optional<SimpleHookSettings> hooks_[3];
    std::wstring environmentFile_;
};
