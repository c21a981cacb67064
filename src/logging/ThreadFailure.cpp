#include "logging/ThreadFailure.h"

#include <atomic>

#include "common/InterruptHolder.h"
#include "common/TextConversion.h"
#include "logging/CriticalSection.h"
#include "logging/Logger.h"

namespace {

const Logger logger(L"ThreadFailure");

struct FailureState {
    CriticalSection lock;
    InterruptHolder* watched = nullptr;
    std::atomic<bool> happened{false};
};

FailureState& state()
{
    static FailureState instance;
    return instance;
}

void stopWatchedRun()
{
    state().happened = true;
    ScopedLock lock(state().lock);
    if (state().watched != nullptr) {
        state().watched->interrupt();
    }
}

// Logging may itself fail when memory has run out.
void logFailure(const wchar_t* where, const char* what)
{
    try {
        logger.error(L"%s failed: %s", where, fromUtf8(what));
    } catch (...) {
        // Nothing left to log with; stopping the run still tells the service manager.
    }
}

}  // namespace

void ThreadFailure::report(const wchar_t* where, const std::exception& error)
{
    logFailure(where, error.what());
    stopWatchedRun();
}

void ThreadFailure::report(const wchar_t* where)
{
    logFailure(where, "unknown exception");
    stopWatchedRun();
}

bool ThreadFailure::happened() { return state().happened; }

ThreadFailure::Watch::Watch(InterruptHolder* run)
{
    ScopedLock lock(state().lock);
    state().watched = run;
    state().happened = false;
}

ThreadFailure::Watch::~Watch()
{
    ScopedLock lock(state().lock);
    state().watched = nullptr;
}
