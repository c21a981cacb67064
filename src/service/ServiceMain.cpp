#include "service/ServiceMain.h"

#include "logging/ErrorText.h"
#include "logging/Logger.h"
#include "logging/ServiceEvents.h"
#include "logging/ThreadFailure.h"
#include "service/ServiceExecuteProcessTask.h"
#include "service/ServiceStatus.h"
#include "service/StatusValue.h"
#include "settings/SettingsInterfaces.h"

namespace {
const Logger logger(L"ServiceMain");
}

ServiceMain::ServiceMain(const ServiceSettings* settings, bool writableFilesAccepted, bool settingsRefused)
    : settings_(settings),
      writableFilesAccepted_(writableFilesAccepted),
      settingsRefused_(settingsRefused),
      handlers_{&interrogate_, &stop_, &preShutdown_, &shutdown_, &power_, &session_, nullptr},
      collection_(&context_, handlers_)
{
}

void ServiceMain::run()
{
    logger.debug(L"Executing HostwellMain");
    const SERVICE_STATUS_HANDLE statusHandle =
        RegisterServiceCtrlHandlerExW(settings_->getServiceName().c_str(), controlHandlerEx, &collection_);
    if (statusHandle == nullptr) {
        logger.error(L"Failed to RegisterServiceCtrlHandlerEx. %s", lastErrorText());
        return;
    }
    ServiceStatus status(statusHandle, collection_.acceptedControls());
    serve(status);
}

void ServiceMain::serve(ServiceStatus& status)
{
    if (settingsRefused_) {
        // Started, then failed: the control manager reports the failure as such.
        status.setStatus(StatusValue::STARTING);
        logger.error(L"Failed to start process: its files may be changed by ordinary users");
        status.setFailureExitCode(1);
        ServiceEvents::gaveUp(GiveUpReason::FILES_REFUSED, 1);
    } else {
        ServiceExecuteProcessTask task(writableFilesAccepted_);
        task.setContext(&context_);
        attach(&status, &task);
        if (!context_.IsValid()) {
            logger.error(L"Failed to initialize ServiceContext. IsValid() returned false");
        } else {
            logger.debug(L"RegisterServiceCtrlHandler completed");
            const ThreadFailure::Watch watch(&task);
            task.CallStartService();
            task.waitUntilFinished();
        }
        attach(nullptr, nullptr);
    }
    if (ThreadFailure::happened()) {
        status.setFailureExitCode(ThreadFailure::EXIT_CODE);
    }
    logger.debug(L"Stop event processes");
    status.setStatus(StatusValue::STOPPED);
    status.waitUntilStopped();
}

void ServiceMain::attach(ServiceStatus* status, ServiceTask* task)
{
    ScopedLock lock(collection_);
    context_.fill(task != nullptr ? settings_ : nullptr, status, task);
}
