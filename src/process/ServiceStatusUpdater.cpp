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

void ServiceStatusUpdater::whenRunning(std::function<void()> callback)
{
    ScopedLock lock(runningLock_);
    if (running_ && callback) {
        callback();
        return;
    }
    whenRunning_ = std::move(callback);
}

void ServiceStatusUpdater::reportRunning()
{
    // A service that is stopping no longer becomes running.
    if (!status_->setStatus(StatusValue::RUNNING)) {
        return;
    }
    ServiceEvents::ready(readiness(), GetTickCount64() - since_);
    ScopedLock lock(runningLock_);
    running_ = true;
    if (whenRunning_) {
        const std::function<void()> callback = std::move(whenRunning_);
        whenRunning_ = nullptr;
        callback();
    }
}

void ServiceStatusUpdater::restartConditions()
{
    since_ = GetTickCount64();
    unheld_ = conditions_;
    reported_ = false;
    output_.tail.clear();
    errors_.tail.clear();
    ScopedLock lock(runningLock_);
    running_ = false;
}

void TokenFilteringServiceStatusUpdater::restartConditions()
{
    watching_ = true;
    ServiceStatusUpdater::restartConditions();
}

void ServiceStatusUpdater::watchLine(std::wstring&, const std::wstring&) {}

void ServiceStatusUpdater::watchPiece(std::wstring&, const std::wstring&) {}

void ServiceStatusUpdater::Stream::onLine(const std::wstring& line)
{
    target->onLine(line);
    owner->watchLine(tail, line);
}

void ServiceStatusUpdater::Stream::onPiece(const std::wstring& piece)
{
    target->onPiece(piece);
    owner->watchPiece(tail, piece);
}

void TokenFilteringServiceStatusUpdater::watchLine(std::wstring& tail, const std::wstring& line)
{
    watch(tail + line);
    tail.clear();
}

void TokenFilteringServiceStatusUpdater::watchPiece(std::wstring& tail, const std::wstring& piece)
{
    const std::wstring text = tail + piece;
    watch(text);
    const size_t kept = marker_.empty() ? 0 : marker_.size() - 1;
    tail = text.substr(text.size() > kept ? text.size() - kept : 0);
}

void TokenFilteringServiceStatusUpdater::watch(const std::wstring& text)
{
    if (watching_ && !marker_.empty() && text.find(marker_) != std::wstring::npos) {
        watching_ = false;
        conditionHeld();
    }
}
