#pragma once

class ServiceStatus;
class ServiceTask;

// How control handlers and the task reach the service's parts.
class ServiceEventContext {
public:
    virtual ~ServiceEventContext() = default;
    virtual ServiceStatus* getStatus() const = 0;
    virtual ServiceTask* getTask() const = 0;

    bool IsValid() const { return getStatus() != nullptr && getTask() != nullptr; }
};

// Filled in once the control handler is registered and the parts exist; owns none of them.
class ServiceEventContextEx : public ServiceEventContext {
public:
    ServiceStatus* getStatus() const override { return status_; }
    ServiceTask* getTask() const override { return task_; }

    void fill(ServiceStatus* status, ServiceTask* task)
    {
        status_ = status;
        task_ = task;
    }

private:
    ServiceStatus* status_ = nullptr;
    ServiceTask* task_ = nullptr;
};
