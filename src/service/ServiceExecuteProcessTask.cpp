#include "service/ServiceExecuteProcessTask.h"

#include <chrono>
#include <memory>
#include <optional>

#include "install/WriteAccessCheck.h"
#include "logging/FileAppender.h"
#include "logging/Logger.h"
#include "process/LogPipeReader.h"
#include "process/ServiceProcessCommand.h"
#include "process/ServiceStatusUpdater.h"
#include "service/ProgramState.h"
#include "service/RestartSchedule.h"
#include "service/ServiceEventContext.h"
#include "service/ServiceStatus.h"
#include "service/StartLimit.h"
#include "service/StatusValue.h"
#include "settings/SettingsInterfaces.h"

namespace {

const Logger logger(L"ServiceExecuteProcessTask");

// The service-specific exit code of a service that ends with the program:
// the program's, or 1 where that would read as success.
DWORD failureCode(DWORD exitCode) { return exitCode != 0 ? exitCode : 1; }

}  // namespace

void ServiceExecuteProcessTask::runWithSettings(const ServiceTaskSettings& settings)
{
    ServiceStatus* status = context_->getStatus();
    const std::wstring* marker = settings.getStartedMarker();
    const Duration* timeout = marker != nullptr ? settings.getStartedTimeout() : nullptr;
    // The first "starting" report already says how long the start may take.
    if (timeout != nullptr) {
        status->setStartWaitHint(static_cast<DWORD>(timeout->length.count()));
    }
    status->setStatus(StatusValue::STARTING);
    if (!acceptWritableFiles(findWritableFiles(settings), writableFilesAccepted_)) {
        logger.error(L"Failed to start process: its files may be changed by ordinary users");
        reportFailure(1);
        return;
    }
    LogPipeReader output(L"console");
    std::unique_ptr<ServiceStatusUpdater> updater;
    std::unique_ptr<StartLimit> startLimit;
    if (marker != nullptr) {
        // One updater for every run: the marker counts until it was seen once.
        updater.reset(new TokenFilteringServiceStatusUpdater(status, &output, *marker));
        if (timeout != nullptr) {
            startLimit.reset(new StartLimit(*timeout, updater.get(), this));
        }
    } else {
        updater.reset(new DumpServiceStatsusUpdater(status, &output));
        status->setStatus(StatusValue::RUNNING);
    }
    superviseRuns(settings, updater.get(), startLimit.get());
}

void ServiceExecuteProcessTask::superviseRuns(const ServiceTaskSettings& settings, ServiceStatusUpdater* updater,
                                              const StartLimit* startLimit)
{
    RestartSchedule restarts(settings.getRestartPolicy());
    ProgramState state(ProgramState::fileBeside(LoggerHolder::fileAppender().fileName()));
    DWORD exitCode = 0;
    for (;;) {
        const ULONGLONG began = GetTickCount64();
        ServiceProcessCommand command(this, &settings, updater);
        command.whenStarted([&state](DWORD processId) { state.started(processId); });
        const int result = command.execute();
        if (result != 0) {
            logger.error(L"Failed to start process: %d", result);
            reportFailure(1);
            return;
        }
        exitCode = command.exitCode();
        state.ended(exitCode);
        if (isInterrupted()) {
            break;
        }
        const std::chrono::milliseconds runTime(GetTickCount64() - began);
        const std::optional<std::chrono::milliseconds> wait = restarts.afterEnd(exitCode, runTime);
        if (!wait) {
            logger.error(L"Service process exited without service stop request");
            reportFailure(failureCode(exitCode));
            return;
        }
        state.restarting(restarts.restarts());
        if (waitForInterrupt(static_cast<DWORD>(wait->count()))) {
            break;
        }
    }
    // Interrupted, during a run or a wait: a stop request stops the service
    // as asked, the start limit as failed.
    if (startLimit != nullptr && startLimit->exceeded()) {
        reportFailure(failureCode(exitCode));
    }
}
