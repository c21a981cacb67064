#include "logging/ThreadFailure.h"

#include <atomic>

#include "common/InterruptHolder.h"
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

// The message is built from the exception's narrow text without allocating
// more than needed: the failure may be a lack of memory.
void logFailure(const wchar_t* where, const char* what)
{
    try {
        std::wstring text;
        for (const char* c = what; *c != '\0'; ++c) {
            text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*c)));
        }
        logger.error(L"%s failed: %s", where, text);
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
