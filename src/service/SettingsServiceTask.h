#pragma once

#include <string>

#include "service/ThreadedServiceTask.h"

class ServiceSettings;
class ServiceTaskSettings;

// How the service control manager started the service: the settings file, the
// name it started the service under (empty: the settings file's), the
// JavaServiceWrapper configuration that named the settings file (empty:
// none), and whether files that ordinary users may change are accepted.
struct ServiceLaunch {
    std::wstring settingsFile;
    std::wstring serviceName;
    std::wstring wrapperConfig;
    bool writableFilesAccepted = false;
};

// Reads the settings file on the task thread, so that the service control
// manager hears from the service at once: the service part first, which
// gives the Event Log its record and, once the file is trusted, the logging
// its settings; then the execution part, with which the work runs.
class SettingsServiceTask : public ThreadedServiceTask {
public:
    explicit SettingsServiceTask(ServiceLaunch launch) : launch_(std::move(launch)) {}

    virtual void runWithSettings(const ServiceTaskSettings& settings) = 0;
    // Called with the service part of the settings file.
    void runWithServiceSettings(const ServiceSettings& settings);

protected:
    void run() override;
    const ServiceLaunch& launch() const { return launch_; }

private:
    ServiceLaunch launch_;
};
