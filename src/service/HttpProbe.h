#pragma once

#include <windows.h>
#include <winhttp.h>

#include "common/UniqueResource.h"
#include "service/Probe.h"

struct InternetHandleTraits {
    using Type = HINTERNET;
    static Type invalid() { return nullptr; }
    static bool isValid(Type h) { return h != nullptr; }
    static void close(Type h) { WinHttpCloseHandle(h); }
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

    bool isValid() const { return static_cast<bool>(connection_); }
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
    UniqueInternetHandle session_;
    UniqueInternetHandle connection_;
    HINTERNET request_ = nullptr;
    Request* context_ = nullptr;
};

// "cannot connect (12029)": the errors of WinHTTP in words, which the system's
// message table does not hold.
std::wstring httpErrorText(DWORD code);
