#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "logging/RollPolicy.h"
#include "settings/Duration.h"
#include "settings/OutputEncoding.h"
#include "settings/ProbeTarget.h"
#include "settings/ProgramResources.h"
#include "settings/RecyclePolicy.h"
#include "settings/RestartPolicy.h"

// Read-only views of the settings. A "pointer" getter answers null when the
// value is not set; the object behind it lives as long as the settings.

class LoggerSettings {
public:
    virtual ~LoggerSettings() = default;
    virtual const std::wstring* getLogFile() const = 0;
    virtual const std::wstring* getLogLevel() const = 0;
    virtual const RollPolicy& getLogRollPolicy() const = 0;
};

class ServiceSettings : public LoggerSettings {
public:
    virtual std::wstring getServiceName() const = 0;
    virtual std::wstring getServiceDisplayName() const = 0;
    virtual std::wstring getServiceDescription() const = 0;
    // The file these values were read from; empty when they came from elsewhere.
    virtual std::wstring getSettingsFile() const = 0;
    // The services that must run before this one, in file order.
    virtual const std::vector<std::wstring>& getDependencies() const = 0;
    // The file the running service keeps its metrics in; null: none.
    virtual const std::wstring* getMetricsFile() const = 0;
};

class UserSettings {
public:
    virtual ~UserSettings() = default;
    virtual std::wstring getUser() const = 0;
    virtual std::wstring getDomain() const = 0;
    virtual std::wstring getPassword() const = 0;
};

class CreateServiceSettings : public ServiceSettings, public UserSettings {
public:
    virtual bool isAutostart() const = 0;
    // Started shortly after the other automatic services.
    virtual bool isDelayedAutostart() const = 0;
    virtual bool isRunAsSystem() const = 0;
    // The program's stop timeout, which the time to stop at shutdown must cover.
    virtual int getStopTimeout() const = 0;
    virtual std::wstring getServiceCommandLine() const = 0;
};

class ExecutionSettings {
public:
    virtual ~ExecutionSettings() = default;
    virtual std::wstring getWorkDir() const = 0;
    virtual std::wstring getProgram() const = 0;
    virtual std::wstring getArguments() const = 0;
};

// When a hook runs: before every start of the program, once a run of it
// counts as running, after every end of it.
enum class Hook { PreStart, PostStart, PostStop };

// A command run around the program, and how long it may take before it is
// ended as failed.
class HookSettings : public ExecutionSettings {
public:
    virtual const Duration& getTimeout() const = 0;
};

// A variable set in the environment of the program and its stop command
// after the copied system variables; an empty value removes it.
struct EnvironmentVariable {
    std::wstring name;
    std::wstring value;
};

// A file of its own for the program's output lines, as it wrote them.
struct OutputLogSettings {
    std::wstring file;
    RollPolicy policy;
    // Each line begins with the local time it was read at.
    bool timestamps = false;
};

// The console control event a stop request sends the program first.
enum class ConsoleEvent { None, CtrlC, CtrlBreak };

class ServiceTaskSettings : public ServiceSettings, public ExecutionSettings {
public:
    virtual int getStopTimeout() const = 0;
    virtual ConsoleEvent getConsoleEvent() const = 0;
    virtual const ExecutionSettings* getStopCommand() const = 0;
    virtual const std::wstring* getStartedMarker() const = 0;
    virtual const std::vector<std::wstring>& getEnvironmentVariables() const = 0;
    virtual OutputEncoding getOutputEncoding() const = 0;
    virtual const std::vector<EnvironmentVariable>& getEnvironment() const = 0;
    // What the service does when the program ends by itself.
    virtual const RestartPolicy& getRestartPolicy() const = 0;
    // How long the program may take to print the started marker and answer
    // the readiness probes; null: as long as it takes.
    virtual const Duration* getStartedTimeout() const = 0;
    // Where the program must answer before the service counts as running.
    virtual const std::vector<ProbeTarget>& getReadinessProbes() const = 0;
    // The probe of the running program; null: none.
    virtual const HealthCheck* getHealthCheck() const = 0;
    // Where the program's output goes instead of the log; null: to the log.
    virtual const OutputLogSettings* getOutputLog() const = 0;
    // The program's priority class, processors and the limits of its job.
    virtual const ProgramResources& getResources() const = 0;
    // When the program is restarted as planned.
    virtual const RecyclePolicy& getRecyclePolicy() const = 0;
    // Where the program's standard error goes; null: where its output goes.
    virtual const OutputLogSettings* getErrorLog() const = 0;
    // The command run at that point; null: none.
    virtual const HookSettings* getHook(Hook hook) const = 0;
    // The file of variables set before the configured ones; null: none.
    virtual const std::wstring* getEnvironmentFile() const = 0;
};
