#include "process/ServiceStatusUpdater.h"

#include "logging/ServiceEvents.h"
#include "service/ServiceStatus.h"
#include "service/StatusValue.h"

void ServiceStatusUpdater::conditionHeld()
{
    if (unheld_ > 0 && --unheld_ == 0 && !reported_.exchange(true)) {
        reportRunning();
    }
}

void ServiceStatusUpdater::reportRunningWithoutConditions()
{
    if (unheld_ == 0 && !reported_.exchange(true)) {
        reportRunning();
    }
}

void ServiceStatusUpdater::reportRunning()
{
    // A service that is stopping no longer becomes running.
    if (status_->setStatus(StatusValue::RUNNING)) {
        ServiceEvents::ready(readiness(), GetTickCount64() - since_);
    }
}

void ServiceStatusUpdater::restartConditions()
{
    since_ = GetTickCount64();
    unheld_ = conditions_;
    reported_ = false;
}

void TokenFilteringServiceStatusUpdater::restartConditions()
{
    tail_.clear();
    watching_ = true;
    ServiceStatusUpdater::restartConditions();
}

void TokenFilteringServiceStatusUpdater::onLine(const std::wstring& line)
{
    target_->onLine(line);
    watch(tail_ + line);
    tail_.clear();
}

void TokenFilteringServiceStatusUpdater::onPiece(const std::wstring& piece)
{
    target_->onPiece(piece);
    const std::wstring text = tail_ + piece;
    watch(text);
    const size_t kept = marker_.empty() ? 0 : marker_.size() - 1;
    tail_ = text.substr(text.size() > kept ? text.size() - kept : 0);
}

void TokenFilteringServiceStatusUpdater::watch(const std::wstring& text)
{
    if (watching_ && !marker_.empty() && text.find(marker_) != std::wstring::npos) {
        watching_ = false;
        conditionHeld();
    }
}
