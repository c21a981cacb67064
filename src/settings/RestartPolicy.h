#pragma once

#include <chrono>
#include <string>

// Which ends of the program, without a stop request, start it again.
enum class RestartWhen { Never, Failure, Always };

// When and how often the service starts the program again after it ended by
// itself. The first restart waits `delay`; each further one twice as long, up
// to `maxDelay`. A run of at least `reset` starts a new series, and
// `maxRestarts` restarts end one (0: no limit).
struct RestartPolicy {
    RestartWhen when = RestartWhen::Never;
    std::chrono::milliseconds delay = std::chrono::seconds(5);
    std::chrono::milliseconds maxDelay = std::chrono::minutes(5);
    std::chrono::milliseconds reset = std::chrono::minutes(10);
    unsigned maxRestarts = 0;
};

// The name the settings write: never, failure or always.
const wchar_t* restartWhenName(RestartWhen when);
// False for a name that is none of them.
bool restartWhenNamed(const std::wstring& name, RestartWhen& when);
