#pragma once

#include "service/SettingsServiceTask.h"

// Runs the configured program for as long as the service runs; a program
// that ends, or cannot start, ends the service. So does a settings file, a
// program or a folder of theirs that ordinary users may change, unless
// `writableFilesAccepted`.
class ServiceExecuteProcessTask final : public SettingsServiceTask {
public:
    explicit ServiceExecuteProcessTask(bool writableFilesAccepted = false)
        : writableFilesAccepted_(writableFilesAccepted)
    {
    }
    ~ServiceExecuteProcessTask() override { stopAndWait(); }

    void runWithSettings(const ServiceTaskSettings& settings) override;

private:
    bool writableFilesAccepted_;
};
