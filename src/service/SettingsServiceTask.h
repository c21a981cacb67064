#pragma once

#include "service/ThreadedServiceTask.h"

class ServiceTaskSettings;

// Reads the execution part of the settings file on the task thread, then
// runs the work with it.
class SettingsServiceTask : public ThreadedServiceTask {
public:
    virtual void runWithSettings(const ServiceTaskSettings& settings) = 0;

protected:
    void run() override;
};
