#pragma once

#include <windows.h>
#include <winhttp.h>

#include "common/UniqueResource.h"
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
    struct Request;
    static void CALLBACK onStatus(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID information,
                                  DWORD length);
    bool fail(DWORD error);
    // Hands the request over to its last callback, which frees what it used.
    void close();

    ProbeTarget target_;
    const WinHttp* winHttp_;
    UniqueInternetHandle session_;
    UniqueInternetHandle connection_;
    HINTERNET request_ = nullptr;
    Request* context_ = nullptr;
};

// "cannot connect (12029)": the errors of WinHTTP in words, which the system's
// message table does not hold; the rest from WinHTTP's own.
std::wstring httpErrorText(DWORD code);
// Empty for an answer of 200 to 299; else "answered 503", and a redirect says it is one.
std::wstring httpStatusFailure(DWORD status);
