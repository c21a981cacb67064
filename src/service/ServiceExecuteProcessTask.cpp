#include "service/ServiceExecuteProcessTask.h"

#include <chrono>
#include <memory>
#include <optional>

#include "logging/FileAppender.h"
#include "logging/Logger.h"
#include "logging/OutputLog.h"
#include "logging/ServiceEvents.h"
#include "process/LogPipeReader.h"
#include "process/ProcessCommand.h"
#include "process/ServiceProcessCommand.h"
#include "process/ServiceStatusUpdater.h"
#include "security/TrustedAccounts.h"
#include "security/WriteAccessCheck.h"
#include "service/HealthMonitor.h"
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

// How the program ended after a stop request, in the words of its event.
const wchar_t* howStopped(StopStep step)
{
    switch (step) {
    case StopStep::ConsoleEvent: return L"console event";
    case StopStep::StopCommand: return L"stop command";
    case StopStep::Kill: return L"killed";
    case StopStep::None: break;
    }
    return L"exited";
}

}  // namespace

void ServiceExecuteProcessTask::runWithSettings(const ServiceTaskSettings& settings)
{
    ServiceStatus* status = context_->getStatus();
    status->beat();
    if (isInterrupted()) {
        logger.info(L"The program is not started: the service is stopping");
        return;
    }
    settings_ = &settings;
    const std::wstring* metricsFile = settings.getMetricsFile();
    ProgramState state(ProgramState::fileBeside(LoggerHolder::fileAppender().fileName()),
                       metricsFile != nullptr ? *metricsFile : std::wstring(), settings.getServiceName());
    const ServiceStatus::Observation readiness(
        status, [&state](const StatusValue& value) { state.readyChanged(&value == &StatusValue::RUNNING); });
    runUntilStopped(settings, state);
    state.serviceEnded();
}

void ServiceExecuteProcessTask::runUntilStopped(const ServiceTaskSettings& settings, ProgramState& state)
{
    ServiceStatus* status = context_->getStatus();
    const std::wstring* marker = settings.getStartedMarker();
    const unsigned probes = static_cast<unsigned>(settings.getReadinessProbes().size());
    const Duration* timeout = marker != nullptr || probes > 0 ? settings.getStartedTimeout() : nullptr;
    // From now on the "starting" reports say how long the start may take.
    status->setStartWaitHint(timeout != nullptr ? static_cast<DWORD>(timeout->length.count()) : 0);
    status->setStatus(StatusValue::STARTING);
    if (!filesTrusted()) {
        logger.error(L"Failed to start process: its files may be changed by ordinary users");
        reportFailure(1, GiveUpReason::FILES_REFUSED);
        return;
    }
    std::optional<OutputLog::Session> outputLog;
    if (const OutputLogSettings* outputLogSettings = settings.getOutputLog()) {
        outputLog.emplace(OutputLog::ofProcess(), outputLogSettings->file, outputLogSettings->policy,
                          outputLogSettings->timestamps);
    }
    std::optional<OutputLog::Session> errorLog;
    if (const OutputLogSettings* errorLogSettings = settings.getErrorLog()) {
        errorLog.emplace(OutputLog::ofErrors(), errorLogSettings->file, errorLogSettings->policy,
                         errorLogSettings->timestamps);
    }
    LogPipeReader output(L"console");
    LogPipeReader errors(L"console", OutputLog::ofErrors());
    // One updater for every run: the marker and the probes count until each held once.
    std::unique_ptr<ServiceStatusUpdater> updater;
    if (marker != nullptr) {
        updater.reset(new TokenFilteringServiceStatusUpdater(status, &output, *marker, probes));
    } else {
        updater.reset(new DumpServiceStatsusUpdater(status, &output, probes));
    }
    if (errorLog) {
        updater->readErrorsInto(&errors);
    }
    std::unique_ptr<HealthMonitor> monitor;
    if (probes > 0 || settings.getHealthCheck() != nullptr || settings.getRecyclePolicy().any()) {
        monitor.reset(new HealthMonitor(settings, updater.get()));
        if (!monitor->isValid()) {
            reportFailure(1, GiveUpReason::PROGRAM_NOT_STARTED);
            return;
        }
    }
    std::unique_ptr<StartLimit> startLimit;
    if (timeout != nullptr) {
        startLimit.reset(new StartLimit(*timeout, updater.get(), monitor.get(), this));
    }
    updater->reportRunningWithoutConditions();
    superviseRuns(settings, state, updater.get(), monitor.get(), startLimit.get());
}

void ServiceExecuteProcessTask::superviseRuns(const ServiceTaskSettings& settings, ProgramState& state,
                                              ServiceStatusUpdater* updater, HealthMonitor* monitor,
                                              StartLimit* startLimit)
{
    RestartSchedule restarts(settings.getRestartPolicy());
    if (monitor != nullptr) {
        monitor->reportTo(&state);
    }
    const std::wstring commandLine = composeCommandLine(settings.getProgram(), settings.getArguments());
    DWORD exitCode = 0;
    StopStep stopStep = StopStep::None;
    // Planned restarts do not end a run for the restart series: a program
    // recycled daily for a week has run a week when it next fails.
    ULONGLONG seriesRunBegan = GetTickCount64();
    for (;;) {
        const ULONGLONG began = GetTickCount64();
        ServiceProcessCommand command(this, &settings, updater);
        command.watchWith(monitor);
        command.whenStarted([&state, &commandLine](DWORD processId) {
            state.started(processId);
            ServiceEvents::programStarted(processId, commandLine);
        });
        command.startThrough(this);
        command.beatTo(context_->getStatus());
        command.readyThrough(updater);
        const int result = command.execute();
        if (command.start() == ProgramStart::StopRequested) {
            break;
        }
        if (command.start() == ProgramStart::FilesRefused) {
            logger.error(L"Failed to start process: its files may be changed by ordinary users");
            reportFailure(1, GiveUpReason::FILES_REFUSED);
            return;
        }
        // A failed pre-start command counts as an end of the program with its exit code.
        const bool preStartFailed = command.start() == ProgramStart::PreStartFailed;
        if (result != 0 && !preStartFailed) {
            logger.error(L"Failed to start process: %d", result);
            reportFailure(1, GiveUpReason::PROGRAM_NOT_STARTED);
            return;
        }
        // A process that would not end is given up: the service ends as failed, whatever was asked.
        if (command.stopFailed()) {
            reportFailure(1, GiveUpReason::STOP_FAILED);
            return;
        }
        if (!preStartFailed) {
            state.ended(command.exitCode());
        }
        stopStep = command.stopStep();
        const bool recycled = command.stoppedByWatcher() && !monitor->recycleReason().empty();
        // A program stopped as unhealthy failed, whatever its exit code says.
        const bool unhealthy = command.stoppedByWatcher() && !recycled;
        exitCode = unhealthy && command.exitCode() == 0 ? ERROR_TIMEOUT : command.exitCode();
        if (isInterrupted()) {
            break;
        }
        // A planned restart is no failure and no restart: the program starts again at once.
        if (recycled) {
            stopStep = StopStep::None;
            startConditionsOver(updater, monitor, startLimit);
            continue;
        }
        const std::chrono::milliseconds runTime(GetTickCount64() - began);
        if (!unhealthy && !preStartFailed) {
            ServiceEvents::programEnded(exitCode, static_cast<ULONGLONG>(runTime.count()));
        }
        const std::optional<std::chrono::milliseconds> wait =
            restarts.afterEnd(exitCode, std::chrono::milliseconds(GetTickCount64() - seriesRunBegan));
        if (!wait) {
            if (unhealthy) {
                logger.error(L"The program was stopped as unhealthy; the service ends");
            } else if (preStartFailed) {
                logger.error(L"The program was not started: its pre-start command failed; the service ends");
            } else {
                logger.error(L"Service process exited without service stop request");
            }
            reportFailure(unhealthy ? ERROR_TIMEOUT : failureCode(exitCode),
                          restarts.maxRestartsReached() ? GiveUpReason::MAX_RESTARTS
                          : unhealthy                   ? GiveUpReason::UNHEALTHY
                          : preStartFailed              ? GiveUpReason::PRE_START_FAILED
                                                        : GiveUpReason::PROGRAM_ENDED);
            return;
        }
        state.restarting(restarts.restarts());
        ServiceEvents::restartScheduled(restarts.restarts(), static_cast<ULONGLONG>(wait->count()));
        // Only the run that is under way when the stop comes is stopped by a step.
        stopStep = StopStep::None;
        if (waitForInterrupt(static_cast<DWORD>(wait->count()))) {
            break;
        }
        seriesRunBegan = GetTickCount64();
    }
    // Interrupted, during a run or a wait: a stop request stops the service
    // as asked, the start limit as failed.
    if (startLimit != nullptr && startLimit->exceeded()) {
        reportFailure(failureCode(exitCode), GiveUpReason::START_LIMIT);
    } else {
        ServiceEvents::stoppedOnRequest(howStopped(stopStep), GetTickCount64() - stopRequestedAt());
    }
}

void ServiceExecuteProcessTask::startConditionsOver(ServiceStatusUpdater* updater, HealthMonitor* monitor,
                                                    StartLimit* startLimit)
{
    // Before it was first ready, the program is still within the start limit's time.
    if (!updater->hasConditions() || !updater->hasReported()) {
        return;
    }
    // The old clock must not see the conditions start over.
    if (startLimit != nullptr) {
        startLimit->stop();
    }
    updater->restartConditions();
    monitor->restartReadiness();
    if (startLimit != nullptr) {
        startLimit->start();
    }
}

bool ServiceExecuteProcessTask::filesTrusted()
{
    // The post-start command asks on a thread of its own.
    const int check = ++filesChecked_;
    // The first start follows the look before the service ran; an accepted
    // risk was warned about then, and is not at every start.
    if (check == 2 || (check > 2 && launch().writableFilesAccepted)) {
        return true;
    }
    const TrustedAccounts trusted = TrustedAccounts::forService();
    // The settings file was looked at before its settings were applied.
    return acceptWritableFiles(check == 1 ? findWritablePrograms(*settings_, trusted)
                                          : findWritableFiles(*settings_, launch().wrapperConfig, trusted),
                               launch().writableFilesAccepted);
}
