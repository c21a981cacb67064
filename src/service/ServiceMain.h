#pragma once

class ServiceSettings;

// One run of the service: registers the control handler, reports the status
// from its own thread, runs the service task, and returns once "stopped" has
// been reported.
class ServiceMain {
public:
    explicit ServiceMain(const ServiceSettings* settings) : settings_(settings) {}
    virtual ~ServiceMain() = default;

    void run();

private:
    const ServiceSettings* settings_;
};
