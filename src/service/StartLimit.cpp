#include "service/StartLimit.h"

#include "common/Format.h"
#include "logging/ErrorText.h"
#include "logging/Logger.h"
#include "logging/ThreadFailure.h"
#include "process/ServiceStatusUpdater.h"
#include "service/HealthMonitor.h"
#include "service/ThreadedServiceTask.h"

namespace {
const Logger logger(L"StartLimit");
}

StartLimit::StartLimit(const Duration& timeout, const ServiceStatusUpdater* updater, const HealthMonitor* monitor,
                       ThreadedServiceTask* task)
    : timeout_(timeout), updater_(updater), monitor_(monitor), task_(task)
{
    start();
}

void StartLimit::stop() { timer_.reset(); }

void StartLimit::start()
{
    HANDLE timer = nullptr;
    if (!CreateTimerQueueTimer(&timer, nullptr, onTimeout, this, static_cast<DWORD>(timeout_.length.count()), 0,
                               WT_EXECUTEONLYONCE)) {
        logger.warn(L"Failed to start the clock of the status-marker timeout; the program may take as long as it "
                    L"needs to start. %s",
                    lastErrorText());
        return;
    }
    timer_.reset(timer);
}

VOID CALLBACK StartLimit::onTimeout(PVOID parameter, BOOLEAN)
{
    fenced(L"Start limit", [parameter] { static_cast<StartLimit*>(parameter)->expire(); });
}

void StartLimit::expire()
{
    // A stop requested before is no failure of the start.
    if (updater_->hasReported() || task_->isInterrupted()) {
        return;
    }
    exceeded_ = true;
    std::vector<std::wstring> unready = monitor_ != nullptr ? monitor_->unready() : std::vector<std::wstring>();
    if (unready.empty()) {
        logger.error(L"The program did not report that it started within %s; it is stopped and the service ends",
                     timeout_.text);
    } else {
        if (const std::wstring* marker = updater_->pendingMarker()) {
            unready.insert(unready.begin(), format(L"started marker \"%s\": not printed", *marker));
        }
        std::wstring conditions;
        for (const std::wstring& condition : unready) {
            conditions += (conditions.empty() ? L"" : L"; ") + condition;
        }
        logger.error(L"The program was not ready within %s (%s); it is stopped and the service ends", timeout_.text,
                     conditions);
    }
    task_->CallStopService();
}
