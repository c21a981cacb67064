#pragma once

#include <windows.h>
#include <winhttp.h>

#include <atomic>

#include "common/UniqueResource.h"
#include "logging/CriticalSection.h"
#include "service/Probe.h"

// WinHTTP's functions, from the DLL loaded with the first HTTP probe: it
// brings a dozen DLLs of its own (about 6 MB of memory under Wine) that a
// service without an HTTP probe should not carry.
struct WinHttp {
    decltype(&::WinHttpOpen) open = nullptr;
    decltype(&::WinHttpSetTimeouts) setTimeouts = nullptr;
    decltype(&::WinHttpConnect) connect = nullptr;
    decltype(&::WinHttpOpenRequest) openRequest = nullptr;
    decltype(&::WinHttpSetOption) setOption = nullptr;
    decltype(&::WinHttpSetStatusCallback) setStatusCallback = nullptr;
    decltype(&::WinHttpSendRequest) sendRequest = nullptr;
    decltype(&::WinHttpReceiveResponse) receiveResponse = nullptr;
    decltype(&::WinHttpQueryHeaders) queryHeaders = nullptr;
    decltype(&::WinHttpCloseHandle) closeHandle = nullptr;

    // Null when the DLL or one of the functions could not be loaded.
    static const WinHttp* functions();
};

struct InternetHandleTraits {
    using Type = HINTERNET;
    static Type invalid() { return nullptr; }
    static bool isValid(Type h) { return h != nullptr; }
    static void close(Type h) { WinHttp::functions()->closeHandle(h); }
};
using UniqueInternetHandle = UniqueResource<InternetHandleTraits>;

// What the callbacks of one request use, freed by its last callback. WinHTTP
// calls back on threads of its own while the probe may close the request on
// the supervising thread, and no call may use a closed handle from any
// thread: the callbacks use the handle under a lock, and only while it is open.
class HttpRequestContext {
public:
    explicit HttpRequestContext(const WinHttp* winHttp);
    HttpRequestContext(const HttpRequestContext&) = delete;
    HttpRequestContext& operator=(const HttpRequestContext&) = delete;

    bool isValid() const { return static_cast<bool>(answered_); }
    // Set once the answer (a status code or a failure) is in.
    HANDLE answered() const { return answered_.get(); }
    DWORD statusCode() const { return statusCode_; }
    DWORD failure() const { return failure_; }
    // Closes the request; no callback calls WinHTTP with it from then on. The
    // context may be gone once this returns.
    void close(HINTERNET request);

    // The request's status callback; `context` is the request's context.
    static void CALLBACK onStatus(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID information,
                                  DWORD length);

private:
    void answer(DWORD error);
    void onStatus(HINTERNET handle, DWORD status, LPVOID information);

    const WinHttp* winHttp_;
    UniqueHandle answered_;
    std::atomic<DWORD> statusCode_{0};
    std::atomic<DWORD> failure_{0};
    CriticalSection lock_;
    bool closed_ = false;
};

// Holds when a GET of the address answers with a status from 200 to 299; a
// certificate that does not verify fails it. WinHTTP works asynchronously
// here, so that a probe can be abandoned at once: closing a request is the
// documented way to cancel it. What the callbacks of a request use lives
// until its last callback, so an abandoned request never waits for them.
class HttpProbe : public Probe {
public:
    HttpProbe(const ProbeTarget& target, DWORD timeoutMs);
    ~HttpProbe() override;
    HttpProbe(const HttpProbe&) = delete;
    HttpProbe& operator=(const HttpProbe&) = delete;

    bool isValid() const { return winHttp_ != nullptr && connection_; }
    bool begin() override;
    HANDLE event() const override;
    bool finish() override;
    void cancel() override;

private:
    bool fail(DWORD error);
    // Hands the request over to its last callback, which frees what it used.
    void close();

    ProbeTarget target_;
    const WinHttp* winHttp_;
    UniqueInternetHandle session_;
    UniqueInternetHandle connection_;
    HINTERNET request_ = nullptr;
    HttpRequestContext* context_ = nullptr;
};

// "cannot connect (12029)": the errors of WinHTTP in words, which the system's
// message table does not hold; the rest from WinHTTP's own.
std::wstring httpErrorText(DWORD code);
// Empty for an answer of 200 to 299; else "answered 503", and a redirect says it is one.
std::wstring httpStatusFailure(DWORD status);
