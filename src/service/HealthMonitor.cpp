#include "service/HealthMonitor.h"

#include <algorithm>

#include "logging/ErrorText.h"
#include "logging/Logger.h"
#include "logging/ServiceEvents.h"
#include "process/ChildProcess.h"
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
    if (settings.getRecyclePolicy().any()) {
        recycle_.emplace(settings.getRecyclePolicy());
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

void HealthMonitor::onRunStarted(const ChildProcess& child)
{
    const ULONGLONG now = GetTickCount64();
    child_ = &child;
    recycleReason_.clear();
    if (recycle_) {
        recycle_->onRunStarted(now);
    }
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
        // The tick counter may lag a timer that fires on time.
        const ULONGLONG tick = std::max(now, due_);
        due_ = 0;
        bool stop = recycle_ && tick >= recycle_->nextLook() && recycleIfDue(tick);
        if (!stop && probesDue_ != 0 && tick >= probesDue_) {
            probesDue_ = 0;
            stop = onTimer(now);
        }
        arm();
        return stop;
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
    child_ = nullptr;
    probesDue_ = 0;
    arm();
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

void HealthMonitor::restartReadiness()
{
    ScopedLock lock(errorsLock_);
    for (Watched& watched : readiness_) {
        watched.held = false;
        watched.lastError.clear();
    }
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

bool HealthMonitor::recycleIfDue(ULONGLONG tick)
{
    const std::wstring reason = recycle_->look(tick, [this] { return child_->committedMemory(); });
    if (reason.empty()) {
        return false;
    }
    recycleReason_ = reason;
    logger.info(L"The program is recycled: %s; it is stopped and started again", reason);
    ServiceEvents::recycled(reason);
    // Until the new run meets the conditions again.
    if (state_ != nullptr && updater_->hasConditions()) {
        state_->readyChanged(false);
    }
    return true;
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
        probesDue_ = !readiness_.empty() || health_ ? now + READINESS_INTERVAL : 0;
        arm();
        return;
    }
    if (!health_) {
        probesDue_ = 0;
        arm();
        return;
    }
    if (nextHealthProbe_ == 0) {
        nextHealthProbe_ = now + milliseconds(healthCheck_->interval);
    }
    schedule(std::max(nextHealthProbe_, now));
}

void HealthMonitor::schedule(ULONGLONG tick)
{
    probesDue_ = tick;
    arm();
}

void HealthMonitor::arm()
{
    ULONGLONG tick = probesDue_;
    if (recycle_ && child_ != nullptr && (tick == 0 || recycle_->nextLook() < tick)) {
        tick = recycle_->nextLook();
    }
    if (tick == 0) {
        CancelWaitableTimer(timer_.get());
        due_ = 0;
        return;
    }
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
