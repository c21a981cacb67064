#include "service/ServiceExecuteProcessTask.h"

#include <memory>

#include "install/WriteAccessCheck.h"
#include "logging/Logger.h"
#include "process/LogPipeReader.h"
#include "process/ServiceProcessCommand.h"
#include "process/ServiceStatusUpdater.h"
#include "service/ServiceEventContext.h"
#include "service/ServiceStatus.h"
#include "service/StatusValue.h"
#include "settings/SettingsInterfaces.h"

namespace {
const Logger logger(L"ServiceExecuteProcessTask");
}

void ServiceExecuteProcessTask::runWithSettings(const ServiceTaskSettings& settings)
{
    if (!acceptWritableFiles(findWritableFiles(settings), writableFilesAccepted_)) {
        logger.error(L"Failed to start process: its files may be changed by ordinary users");
        reportFailure(1);
        return;
    }
    LogPipeReader output(L"console");
    ServiceStatus* status = context_->getStatus();
    std::unique_ptr<ServiceStatusUpdater> updater;
    if (const std::wstring* marker = settings.getStartedMarker()) {
        updater.reset(new TokenFilteringServiceStatusUpdater(status, &output, *marker));
    } else {
        updater.reset(new DumpServiceStatsusUpdater(status, &output));
        status->setStatus(StatusValue::RUNNING);
    }

    ServiceProcessCommand command(this, &settings, updater.get());
    const int result = command.execute();
    if (result != 0) {
        logger.error(L"Failed to start process: %d", result);
        reportFailure(1);
    } else if (!isInterrupted()) {
        logger.error(L"Service process exited without service stop request");
        reportFailure(command.exitCode() != 0 ? command.exitCode() : 1);
    }
}
