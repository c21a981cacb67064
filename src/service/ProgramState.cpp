#include "service/ProgramState.h"

#include "common/Format.h"
#include "common/TextConversion.h"
#include "logging/ErrorText.h"
#include "logging/Logger.h"
#include "service/MetricsText.h"

namespace {

const Logger logger(L"ProgramState");

std::wstring utcNow()
{
    SYSTEMTIME now = {};
    GetSystemTime(&now);
    return format(L"%04d-%02d-%02dT%02d:%02d:%02dZ", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                  now.wSecond);
}

// What the outcome of a write says, when it ends or starts an episode of failures.
void reportWrite(const wchar_t* what, const std::wstring& file, DWORD before, DWORD now)
{
    if (now != ERROR_SUCCESS && before == ERROR_SUCCESS) {
        logger.warn(L"Failed to write the %s to %s: %s", what, file, errorText(now));
    } else if (now == ERROR_SUCCESS && before != ERROR_SUCCESS) {
        logger.info(L"The %s is written to %s again", what, file);
    }
}

}  // namespace

std::wstring ProgramState::fileBeside(const std::wstring& logFile)
{
    return logFile.empty() ? std::wstring() : logFile + L".state.json";
}

ProgramState::ProgramState(std::wstring stateFile, std::wstring metricsFile, std::wstring service)
    : service_(std::move(service)), stateFile_(std::move(stateFile)), metricsFile_(std::move(metricsFile))
{
}

void ProgramState::started(DWORD processId)
{
    change([processId](ProgramSnapshot& values, bool&) {
        values.processId = processId;
        values.startedAt = utcNow();
        return true;
    });
}

void ProgramState::ended(DWORD exitCode)
{
    change([exitCode](ProgramSnapshot& values, bool&) {
        values.processId.reset();
        values.lastExitCode = exitCode;
        return true;
    });
}

void ProgramState::restarting(unsigned restarts)
{
    change([restarts](ProgramSnapshot& values, bool&) {
        values.restarts = restarts;
        ++values.restartsTotal;
        return true;
    });
}

void ProgramState::healthChanged(const std::wstring& health)
{
    change([&health](ProgramSnapshot& values, bool&) {
        if (values.health == health) {
            return false;
        }
        values.health = health;
        return true;
    });
}

void ProgramState::readyChanged(bool ready)
{
    change([ready](ProgramSnapshot&, bool& isReady) {
        const bool changed = isReady != ready;
        isReady = ready;
        return changed;
    });
}

void ProgramState::serviceEnded()
{
    change([](ProgramSnapshot& values, bool& isReady) {
        values.processId.reset();
        isReady = false;
        return true;
    });
}

void ProgramState::onServiceEvent(const ServiceEvent& event)
{
    if (event.id == ServiceEventId::RecordsLost) {
        change([&event](ProgramSnapshot& values, bool&) {
            values.logRecordsLost += event.count;
            return true;
        });
    } else if (event.id == ServiceEventId::Recycled) {
        change([](ProgramSnapshot& values, bool&) {
            ++values.recycles;
            return true;
        });
    }
}

ProgramSnapshot ProgramState::snapshot() const
{
    ScopedLock lock(lock_);
    return values_;
}

template <typename Change>
void ProgramState::change(Change apply)
{
    DWORD stateBefore = ERROR_SUCCESS;
    DWORD metricsBefore = ERROR_SUCCESS;
    DWORD stateNow = ERROR_SUCCESS;
    DWORD metricsNow = ERROR_SUCCESS;
    {
        ScopedLock lock(lock_);
        if (!apply(values_, ready_)) {
            return;
        }
        stateBefore = stateError_;
        metricsBefore = metricsError_;
        save();
        stateNow = stateError_;
        metricsNow = metricsError_;
    }
    reportWrite(L"program state", stateFile_.path(), stateBefore, stateNow);
    reportWrite(L"metrics", metricsFile_.path(), metricsBefore, metricsNow);
}

// Readers see the old content or the new one, never half of it.
void ProgramState::save()
{
    if (!stateFile_.path().empty()) {
        stateError_ = stateFile_.write(toUtf8(L"{\"program\": " + values_.json() + L"}\r\n"));
    }
    if (!metricsFile_.path().empty()) {
        metricsError_ = metricsFile_.write(toUtf8(prometheusText(service_, ready_, &values_)));
    }
}
