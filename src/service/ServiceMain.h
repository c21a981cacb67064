#pragma once

#include <windows.h>

#include "service/ServiceEventContext.h"
#include "service/ServiceEventHandler.h"
#include "service/ServiceEventHandlerCollection.h"

class ServiceSettings;
class ServiceStatus;

// One run of the service: registers the control handler, reports the status
// from its own thread, runs the service task, and reports "stopped" as its
// last act, once the task, its threads and the program are gone. It lives
// until the service control dispatcher has returned, so that a late control
// never reaches a destroyed handler.
class ServiceMain {
public:
    // With `writableFilesAccepted` files that ordinary users may change do not
    // stop the start; with `settingsRefused` the service stops as failed at once.
    explicit ServiceMain(const ServiceSettings* settings, bool writableFilesAccepted = false,
                         bool settingsRefused = false);
    virtual ~ServiceMain() = default;
    ServiceMain(const ServiceMain&) = delete;
    ServiceMain& operator=(const ServiceMain&) = delete;

    void run();
    // The run once the control handler is registered, reporting through `status`.
    void serve(ServiceStatus& status);

    // The context registered with the control handler.
    ServiceEventHandlerCollection* controls() { return &collection_; }

private:
    // Makes the task reachable for controls, or unreachable with nulls.
    void attach(ServiceStatus* status, ServiceTask* task);

    const ServiceSettings* settings_;
    bool writableFilesAccepted_;
    bool settingsRefused_;
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
