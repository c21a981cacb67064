#pragma once

#include <windows.h>
#include <ntsecapi.h>
#include <wincrypt.h>

// Owns one operating-system resource and releases it exactly once.
template <typename Traits>
class UniqueResource {
public:
    using Type = typename Traits::Type;

    UniqueResource() = default;
    explicit UniqueResource(Type value) : value_(value) {}
    ~UniqueResource() { reset(); }

    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept
    {
        reset(other.release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    Type get() const { return value_; }
    Type* put()
    {
        reset();
        return &value_;
    }
    explicit operator bool() const { return Traits::isValid(value_); }

    Type release()
    {
        Type value = value_;
        value_ = Traits::invalid();
        return value;
    }

    // Closing keeps the thread's last error, so an owner that goes out of
    // scope on an error path never changes the code the message is about.
    void reset(Type value = Traits::invalid())
    {
        if (Traits::isValid(value_)) {
            const DWORD lastError = GetLastError();
            Traits::close(value_);
            SetLastError(lastError);
        }
        value_ = value;
    }

private:
    Type value_ = Traits::invalid();
};

// Kernel handles: null and INVALID_HANDLE_VALUE both mean "none".
struct HandleTraits {
    using Type = HANDLE;
    static Type invalid() { return nullptr; }
    static bool isValid(Type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void close(Type h) { CloseHandle(h); }
};
using UniqueHandle = UniqueResource<HandleTraits>;

struct ModuleTraits {
    using Type = HMODULE;
    static Type invalid() { return nullptr; }
    static bool isValid(Type h) { return h != nullptr; }
    static void close(Type h) { FreeLibrary(h); }
};
using UniqueModule = UniqueResource<ModuleTraits>;

struct LocalMemoryTraits {
    using Type = HLOCAL;
    static Type invalid() { return nullptr; }
    static bool isValid(Type h) { return h != nullptr; }
    static void close(Type h) { LocalFree(h); }
};
using UniqueLocalMemory = UniqueResource<LocalMemoryTraits>;

struct RegistryKeyTraits {
    using Type = HKEY;
    static Type invalid() { return nullptr; }
    static bool isValid(Type h) { return h != nullptr; }
    static void close(Type h) { RegCloseKey(h); }
};
using UniqueRegistryKey = UniqueResource<RegistryKeyTraits>;

struct EventSourceTraits {
    using Type = HANDLE;
    static Type invalid() { return nullptr; }
    static bool isValid(Type h) { return h != nullptr; }
    static void close(Type h) { DeregisterEventSource(h); }
};
using UniqueEventSource = UniqueResource<EventSourceTraits>;

struct ServiceHandleTraits {
    using Type = SC_HANDLE;
    static Type invalid() { return nullptr; }
    static bool isValid(Type h) { return h != nullptr; }
    static void close(Type h) { CloseServiceHandle(h); }
};
using UniqueServiceHandle = UniqueResource<ServiceHandleTraits>;

struct LsaHandleTraits {
    using Type = LSA_HANDLE;
    static Type invalid() { return nullptr; }
    static bool isValid(Type h) { return h != nullptr; }
    static void close(Type h) { LsaClose(h); }
};
using UniqueLsaHandle = UniqueResource<LsaHandleTraits>;

// A timer of the default timer queue. Deleting it waits for a callback of
// it that runs, so the callback never outlives what it uses.
struct TimerQueueTimerTraits {
    using Type = HANDLE;
    static Type invalid() { return nullptr; }
    static bool isValid(Type h) { return h != nullptr; }
    static void close(Type h) { DeleteTimerQueueTimer(nullptr, h, INVALID_HANDLE_VALUE); }
};
using UniqueTimerQueueTimer = UniqueResource<TimerQueueTimerTraits>;

// A block from the process heap.
struct HeapMemoryTraits {
    using Type = void*;
    static Type invalid() { return nullptr; }
    static bool isValid(Type h) { return h != nullptr; }
    static void close(Type h) { HeapFree(GetProcessHeap(), 0, h); }
};
using UniqueHeapMemory = UniqueResource<HeapMemoryTraits>;

struct CryptProviderTraits {
    using Type = HCRYPTPROV;
    static Type invalid() { return 0; }
    static bool isValid(Type h) { return h != 0; }
    static void close(Type h) { CryptReleaseContext(h, 0); }
};
using UniqueCryptProvider = UniqueResource<CryptProviderTraits>;

struct CryptHashTraits {
    using Type = HCRYPTHASH;
    static Type invalid() { return 0; }
    static bool isValid(Type h) { return h != 0; }
    static void close(Type h) { CryptDestroyHash(h); }
};
using UniqueCryptHash = UniqueResource<CryptHashTraits>;
