#pragma once

#include <windows.h>

#include <string>

#include "service/ServiceEventContext.h"
#include "service/ServiceEventHandler.h"
#include "service/ServiceEventHandlerCollection.h"
#include "service/SettingsServiceTask.h"

class ServiceStatus;

// One run of the service: registers the control handler, reports "starting"
// at once, runs the service task, which reads the settings, and reports
// "stopped" as its last act, once the task, its threads and the program are
// gone. It lives until the service control dispatcher has returned, so that a
// late control never reaches a destroyed handler.
class ServiceMain {
public:
    // `launch` without a service name: the service control manager names it.
    explicit ServiceMain(ServiceLaunch launch);
    virtual ~ServiceMain() = default;
    ServiceMain(const ServiceMain&) = delete;
    ServiceMain& operator=(const ServiceMain&) = delete;

    // With the arguments of the service's main function: the first is the
    // name the service was started under.
    void run(DWORD argc, LPWSTR* argv);
    // The run once the control handler is registered, reporting through `status`.
    void serve(ServiceStatus& status, const std::wstring& serviceName);

    // The context registered with the control handler.
    ServiceEventHandlerCollection* controls() { return &collection_; }

private:
    // Makes the task reachable for controls, or unreachable with nulls.
    void attach(ServiceStatus* status, ServiceTask* task);

    ServiceLaunch launch_;
    ServiceEventINRERROGATEHandler interrogate_;
    ServiceEventSTOPHandler stop_;
    ServiceEventPreShutdownHandler preShutdown_;
    ServiceEventShutdownHandler shutdown_;
    ServiceEventPowerHandler power_;
    ServiceEventSessionHandler session_;
    ServiceEventHandler* const handlers_[7];
    ServiceEventContextEx context_;
    ServiceEventHandlerCollection collection_;
};
