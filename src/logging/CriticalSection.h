#pragma once

#include <windows.h>

// Owns one re-entrant Windows critical section.
class CriticalSection {
public:
    CriticalSection() { InitializeCriticalSection(&section_); }
    virtual ~CriticalSection() { DeleteCriticalSection(&section_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void lock() { EnterCriticalSection(&section_); }
    void unlock() { LeaveCriticalSection(&section_); }
    // Leaves the section (held once) while waiting for the condition to be
    // woken; false when the time ran out first.
    bool wait(CONDITION_VARIABLE& condition, DWORD milliseconds)
    {
        return SleepConditionVariableCS(&condition, &section_, milliseconds) != FALSE;
    }

private:
    CRITICAL_SECTION section_;
};

// Holds a critical section for the lifetime of a scope.
class ScopedLock {
public:
    explicit ScopedLock(CriticalSection& section) : section_(section) { section_.lock(); }
    ~ScopedLock() { section_.unlock(); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    CriticalSection& section_;
};
