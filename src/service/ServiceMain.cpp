#include "service/ServiceMain.h"

#include "logging/ErrorText.h"
#include "logging/Logger.h"
#include "logging/ThreadFailure.h"
#include "service/ServiceExecuteProcessTask.h"
#include "service/ServiceStatus.h"
#include "service/StatusValue.h"

namespace {

const Logger logger(L"ServiceMain");
// Until the settings say how long the start may take: reading them and
// looking at who may change their files can wait on a domain controller.
const DWORD SETTINGS_WAIT_HINT = 30000;

}  // namespace

ServiceMain::ServiceMain(ServiceLaunch launch)
    : launch_(std::move(launch)),
      handlers_{&interrogate_, &stop_, &preShutdown_, &shutdown_, &power_, &session_, nullptr},
      collection_(&context_, handlers_)
{
}

void ServiceMain::run(DWORD argc, LPWSTR* argv)
{
    logger.debug(L"Executing HostwellMain");
    // Without the control manager's name (run on the main thread for
    // debugging) no control handler can be registered.
    const std::wstring name = argc > 0 && argv != nullptr && argv[0] != nullptr ? argv[0] : L"";
    const SERVICE_STATUS_HANDLE statusHandle =
        RegisterServiceCtrlHandlerExW(name.c_str(), controlHandlerEx, &collection_);
    if (statusHandle == nullptr) {
        logger.error(L"Failed to RegisterServiceCtrlHandlerEx. %s", lastErrorText());
        return;
    }
    ServiceStatus status(statusHandle, collection_.acceptedControls());
    serve(status, name);
}

void ServiceMain::serve(ServiceStatus& status, const std::wstring& serviceName)
{
    ServiceLaunch launch = launch_;
    launch.serviceName = serviceName;
    {
        ServiceExecuteProcessTask task(launch);
        task.setContext(&context_);
        // Reachable before the first report: from then on a stop may come.
        attach(&status, &task);
        logger.debug(L"RegisterServiceCtrlHandler completed");
        status.setStartWaitHint(SETTINGS_WAIT_HINT);
        status.setStatus(StatusValue::STARTING);
        const ThreadFailure::Watch watch(&task);
        task.CallStartService();
        task.waitUntilFinished();
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
    context_.fill(status, task);
}
