#include "service/HealthMonitor.h"

#include <algorithm>

#include "logging/ErrorText.h"
#include "logging/Logger.h"
#include "process/ServiceStatusUpdater.h"
#include "service/ProgramState.h"
#include "settings/SettingsInterfaces.h"

namespace {

const Logger logger(L"HealthMonitor");
const ULONGLONG READINESS_INTERVAL = 500;
// A readiness probe's own time limit; the start's is the status marker's timeout.
const DWORD READINESS_TIMEOUT = 2000;
const wchar_t* const TIMED_OUT = L"timed out";

ULONGLONG milliseconds(std::chrono::milliseconds length) { return static_cast<ULONGLONG>(length.count()); }

}  // namespace

HealthMonitor::HealthMonitor(const ServiceTaskSettings& settings, ServiceStatusUpdater* updater)
    : updater_(updater), timer_(CreateWaitableTimerW(nullptr, FALSE, nullptr))
{
    for (const ProbeTarget& target : settings.getReadinessProbes()) {
        readiness_.emplace_back(target, makeProbe(target, READINESS_TIMEOUT));
    }
    if (const HealthCheck* check = settings.getHealthCheck()) {
        healthCheck_ = *check;
        health_.emplace(check->target, makeProbe(check->target, static_cast<DWORD>(check->timeout.count())));
        verdict_.emplace(*check, settings.getRestartPolicy().when != RestartWhen::Never);
    }
    if (!timer_) {
        logger.error(L"Failed to create the timer of the probes. %s", lastErrorText());
    }
}

bool HealthMonitor::isValid() const
{
    const auto made = [](const Watched& watched) { return watched.probe != nullptr; };
    return timer_ && std::all_of(readiness_.begin(), readiness_.end(), made) && (!health_ || made(*health_));
}

void HealthMonitor::onRunStarted()
{
    const ULONGLONG now = GetTickCount64();
    nextHealthProbe_ = healthCheck_ && healthCheck_->grace.count() > 0 ? now + milliseconds(healthCheck_->grace) : 0;
    // A new run owes nothing to the failures of the one before.
    if (verdict_) {
        verdict_->reset();
        if (state_ != nullptr) {
            state_->healthChanged(L"starting");
        }
    }
    // A restarted program is not probed for readiness again.
    if (!ready() && !readiness_.empty()) {
        schedule(now);
    } else {
        scheduleNext(now);
    }
}

void HealthMonitor::addHandles(std::vector<HANDLE>& handles)
{
    if (due_ != 0) {
        handles.push_back(timer_.get());
    }
    for (Watched& watched : readiness_) {
        if (watched.running) {
            handles.push_back(watched.probe->event());
        }
    }
    if (health_ && health_->running) {
        handles.push_back(health_->probe->event());
    }
}

bool HealthMonitor::onSignalled(HANDLE handle)
{
    const ULONGLONG now = GetTickCount64();
    if (handle == timer_.get()) {
        due_ = 0;
        return onTimer(now);
    }
    bool stop = false;
    for (Watched& watched : readiness_) {
        if (watched.running && watched.probe->event() == handle && watched.probe->advance()) {
            const bool held = watched.probe->finish();
            conclude(watched, held, watched.probe->error());
        }
    }
    if (health_ && health_->running && health_->probe->event() == handle && health_->probe->advance()) {
        const bool held = health_->probe->finish();
        stop = conclude(*health_, held, health_->probe->error());
    }
    if (!probing()) {
        scheduleNext(now);
    }
    return stop;
}

void HealthMonitor::onRunEnded()
{
    for (Watched& watched : readiness_) {
        abandon(watched);
    }
    if (health_) {
        abandon(*health_);
    }
    CancelWaitableTimer(timer_.get());
    due_ = 0;
}

std::vector<std::wstring> HealthMonitor::unready() const
{
    ScopedLock lock(errorsLock_);
    std::vector<std::wstring> conditions;
    for (const Watched& watched : readiness_) {
        if (!watched.held) {
            conditions.push_back(watched.target.name() + L": " +
                                 (watched.lastError.empty() ? std::wstring(L"no answer yet") : watched.lastError));
        }
    }
    return conditions;
}

bool HealthMonitor::ready() const { return updater_->hasReported(); }

bool HealthMonitor::probing() const
{
    const auto running = [](const Watched& watched) { return watched.running; };
    return std::any_of(readiness_.begin(), readiness_.end(), running) || (health_ && health_->running);
}

bool HealthMonitor::onTimer(ULONGLONG now)
{
    bool stop = false;
    if (probing()) {
        // The probes under way are out of time.
        for (Watched& watched : readiness_) {
            if (watched.running) {
                abandon(watched);
                conclude(watched, false, TIMED_OUT);
            }
        }
        if (health_ && health_->running) {
            abandon(*health_);
            stop = conclude(*health_, false, TIMED_OUT);
        }
        scheduleNext(now);
        return stop;
    }
    DWORD limit = READINESS_TIMEOUT;
    if (!ready()) {
        for (Watched& watched : readiness_) {
            if (!watched.held) {
                begin(watched);
            }
        }
    } else if (health_) {
        limit = static_cast<DWORD>(healthCheck_->timeout.count());
        stop = begin(*health_);
    }
    if (probing()) {
        schedule(now + limit);
    } else {
        scheduleNext(now);
    }
    return stop;
}

bool HealthMonitor::begin(Watched& watched)
{
    watched.running = watched.probe->begin();
    return !watched.running && conclude(watched, false, watched.probe->error());
}

bool HealthMonitor::conclude(Watched& watched, bool held, const std::wstring& error)
{
    watched.running = false;
    if (health_ && &watched == &*health_) {
        nextHealthProbe_ = GetTickCount64() + milliseconds(healthCheck_->interval);
        if (!held) {
            logger.warn(L"Probe %s failed: %s", watched.target.name(), error);
        }
        const bool unhealthy = verdict_->onResult(held, error);
        if (state_ != nullptr) {
            state_->healthChanged(held ? L"healthy" : unhealthy ? L"unhealthy" : L"failing");
        }
        return unhealthy;
    }
    if (held) {
        logger.info(L"The program answers %s", watched.target.name());
    } else {
        logger.debug(L"Probe %s failed: %s", watched.target.name(), error);
    }
    {
        ScopedLock lock(errorsLock_);
        watched.held = held;
        watched.lastError = error;
    }
    if (held) {
        updater_->conditionHeld();
    }
    return false;
}

void HealthMonitor::abandon(Watched& watched)
{
    if (watched.running) {
        watched.probe->cancel();
        watched.running = false;
    }
}

void HealthMonitor::scheduleNext(ULONGLONG now)
{
    if (!ready()) {
        // The next round of readiness probes, or a look whether the marker came.
        if (!readiness_.empty() || health_) {
            schedule(now + READINESS_INTERVAL);
        }
        return;
    }
    if (!health_) {
        CancelWaitableTimer(timer_.get());
        due_ = 0;
        return;
    }
    if (nextHealthProbe_ == 0) {
        nextHealthProbe_ = now + milliseconds(healthCheck_->interval);
    }
    schedule(std::max(nextHealthProbe_, now));
}

void HealthMonitor::schedule(ULONGLONG tick)
{
    const ULONGLONG now = GetTickCount64();
    LARGE_INTEGER dueTime;
    // Relative, in units of 100 ns; at least one, as 0 would be an absolute time.
    dueTime.QuadPart = -static_cast<LONGLONG>((tick > now ? tick - now : 0) * 10000 + 1);
    if (!SetWaitableTimer(timer_.get(), &dueTime, 0, nullptr, nullptr, FALSE)) {
        logger.error(L"Failed to set the timer of the probes. %s", lastErrorText());
        due_ = 0;
        return;
    }
    due_ = tick;
}
