#pragma once

#include <windows.h>

#include <exception>

class InterruptHolder;

// What a thread entry point or a system callback does with an exception that
// would otherwise end the process without a word: it logs it, stops the run
// being watched and marks it failed, so the service manager sees a failure.
class ThreadFailure {
public:
    // The service-specific exit code of a run that ended this way.
    // ERROR_UNHANDLED_EXCEPTION, which mingw-w64 does not define.
    static const DWORD EXIT_CODE = 574;

    static void report(const wchar_t* where, const std::exception& error);
    // For exceptions that are not std::exception.
    static void report(const wchar_t* where);
    static bool happened();

    // Interrupts `run` on a failure for as long as it lives.
    class Watch {
    public:
        explicit Watch(InterruptHolder* run);
        ~Watch();
        Watch(const Watch&) = delete;
        Watch& operator=(const Watch&) = delete;
    };
};

// Runs `body` and turns any exception into a ThreadFailure report named `where`.
template <typename Body>
bool fenced(const wchar_t* where, Body body)
{
    try {
        body();
        return true;
    } catch (const std::exception& error) {
        ThreadFailure::report(where, error);
    } catch (...) {
        ThreadFailure::report(where);
    }
    return false;
}
