#pragma once

#include "service/SettingsServiceTask.h"

// Runs the configured program for as long as the service runs; a program
// that ends, or cannot start, ends the service.
class ServiceExecuteProcessTask final : public SettingsServiceTask {
public:
    ~ServiceExecuteProcessTask() override { stopAndWait(); }

    void runWithSettings(const ServiceTaskSettings& settings) override;
};
