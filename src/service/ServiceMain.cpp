#include "service/ServiceMain.h"

#include <windows.h>

#include "logging/ErrorText.h"
#include "logging/Logger.h"
#include "service/ServiceEventContext.h"
#include "service/ServiceEventHandler.h"
#include "service/ServiceEventHandlerCollection.h"
#include "service/ServiceExecuteProcessTask.h"
#include "service/ServiceStatus.h"
#include "service/StatusValue.h"
#include "settings/SettingsInterfaces.h"

namespace {
const Logger logger(L"ServiceMain");
}

void ServiceMain::run()
{
    logger.debug(L"Executing HostwellMain");
    ServiceEventINRERROGATEHandler interrogate;
    ServiceEventSTOPHandler stop;
    ServiceEventPreShutdownHandler preShutdown;
    ServiceEventShutdownHandler shutdown;
    ServiceEventPowerHandler power;
    ServiceEventSessionHandler session;
    ServiceEventHandler* const handlers[] = {&interrogate, &stop, &preShutdown, &shutdown, &power, &session, nullptr};
    ServiceEventContextEx context;
    ServiceEventHandlerCollection collection(&context, handlers);

    const SERVICE_STATUS_HANDLE statusHandle =
        RegisterServiceCtrlHandlerExW(settings_->getServiceName().c_str(), controlHandlerEx, &collection);
    if (statusHandle == nullptr) {
        logger.error(L"Failed to RegisterServiceCtrlHandlerEx. %s", lastErrorText());
        return;
    }
    // Destroyed in reverse order: the task (waiting for its thread), then the status reporter.
    ServiceStatus status(statusHandle, collection.acceptedControls());
    ServiceExecuteProcessTask task;
    task.setContext(&context);
    context.fill(settings_, &status, &task);
    if (!context.IsValid()) {
        logger.error(L"Failed to initialize ServiceContext. IsValid() returned false");
        status.setStatus(StatusValue::STOPPED);
        return;
    }
    logger.debug(L"RegisterServiceCtrlHandler completed");
    status.setStatus(StatusValue::STARTING);
    task.CallStartService();
    status.waitUntilStopped();
    logger.debug(L"Stop event processes");
}
