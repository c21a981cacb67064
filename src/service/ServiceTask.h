#pragma once

class ServiceEventContext;

// The work the service does, started once and stopped on request.
class ServiceTask {
public:
    virtual ~ServiceTask() = default;
    // Starts the work and returns without waiting for it.
    virtual void CallStartService() = 0;
    // Asks the work to stop and returns at once.
    virtual void CallStopService() = 0;

    void setContext(ServiceEventContext* context) { context_ = context; }

protected:
    ServiceEventContext* context_ = nullptr;
};
