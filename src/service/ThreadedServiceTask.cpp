#include "service/ThreadedServiceTask.h"

#include "logging/Logger.h"
#include "logging/ServiceEvents.h"
#include "logging/ThreadFailure.h"
#include "service/ServiceEventContext.h"
#include "service/ServiceStatus.h"
#include "service/StatusValue.h"

namespace {
const Logger logger(L"ThreadedServiceTask");
}

ThreadedServiceTask::~ThreadedServiceTask() { stopAndWait(); }

void ThreadedServiceTask::stopAndWait()
{
    bool running = false;
    {
        ScopedLock lock(*this);
        running = running_;
    }
    if (running) {
        logger.debug(L"Process thread is not finished!");
        interrupt();
    }
    if (thread_) {
        WaitForSingleObject(thread_.get(), INFINITE);
        thread_.reset();
    }
}

void ThreadedServiceTask::CallStartService()
{
    logger.info(L"CallStartService");
    ScopedLock lock(*this);
    if (isInterrupted()) {
        logger.warn(L"There is a stopping process");
        return;
    }
    if (running_) {
        logger.warn(L"There is running process thread. Will terminate");
        return;
    }
    thread_.reset(CreateThread(nullptr, 0, threadMain, this, 0, &threadId_));
    if (!thread_) {
        logger.error(L"Failed to create thread to execute service task");
        reportFailure(1, GiveUpReason::PROGRAM_NOT_STARTED);
        return;
    }
    running_ = true;
    logger.debug(L"Started service task thread");
}

void ThreadedServiceTask::CallStopService()
{
    logger.info(L"CallStopService");
    ScopedLock lock(*this);
    ServiceStatus* status = context_->getStatus();
    if (!running_) {
        // Before the start this also keeps the program from being started;
        // "stopped" is reported once nothing of the service runs any more.
        logger.warn(L"No service process thread is running. Will report stopped");
    }
    ULONGLONG none = 0;
    stopRequestedAt_.compare_exchange_strong(none, GetTickCount64());
    status->setStatus(StatusValue::STOPPING);
    interrupt();
}

void ThreadedServiceTask::waitUntilFinished()
{
    if (thread_) {
        WaitForSingleObject(thread_.get(), INFINITE);
    }
}

void ThreadedServiceTask::reportFailure(DWORD serviceSpecificExitCode, const std::wstring& reason)
{
    context_->getStatus()->setFailureExitCode(serviceSpecificExitCode);
    ServiceEvents::gaveUp(reason, serviceSpecificExitCode);
}

DWORD WINAPI ThreadedServiceTask::threadMain(LPVOID parameter)
{
    auto* task = static_cast<ThreadedServiceTask*>(parameter);
    const Logger threadLogger(L"ThreadedServiceTask:Thread");
    threadLogger.debug(L"Thread started");
    fenced(L"Service task", [task] { task->run(); });
    threadLogger.debug(L"Task finished. Interrupted=%s.", task->interruptedText());
    task->finish();
    return 0;
}

void ThreadedServiceTask::finish()
{
    ScopedLock lock(*this);
    running_ = false;
    threadId_ = 0;
}
