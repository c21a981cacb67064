#include "service/HttpProbe.h"

#include <memory>

#include "common/Format.h"
#include "common/SystemLibrary.h"
#include "logging/ErrorText.h"

std::wstring httpErrorText(DWORD code)
{
    switch (code) {
    case ERROR_WINHTTP_CANNOT_CONNECT: return format(L"cannot connect (%d)", static_cast<int>(code));
    case ERROR_WINHTTP_TIMEOUT: return format(L"timed out (%d)", static_cast<int>(code));
    case ERROR_WINHTTP_NAME_NOT_RESOLVED: return format(L"cannot find the host (%d)", static_cast<int>(code));
    case ERROR_WINHTTP_CONNECTION_ERROR: return format(L"connection reset (%d)", static_cast<int>(code));
    case ERROR_WINHTTP_SECURE_FAILURE: return format(L"certificate not accepted (%d)", static_cast<int>(code));
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE: return format(L"not an HTTP answer (%d)", static_cast<int>(code));
    case ERROR_WINHTTP_REDIRECT_FAILED: return format(L"the redirect limit was exceeded (%d)", static_cast<int>(code));
    case ERROR_WINHTTP_HEADER_NOT_FOUND:
        return format(L"the answer lacks a header it needs (%d)", static_cast<int>(code));
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
        return format(L"the secure channel failed (%d)", static_cast<int>(code));
    // The rest in WinHTTP's own words, from its message table (Windows has one; Wine's DLL does not).
    default: return moduleErrorText(GetModuleHandleW(L"winhttp.dll"), code);
    }
}

std::wstring httpStatusFailure(DWORD status)
{
    if (status >= 200 && status <= 299) {
        return std::wstring();
    }
    if (status >= 300 && status <= 399) {
        return format(L"answered %d, a redirect, which is not followed: the address itself must answer 200 to 299",
                      static_cast<int>(status));
    }
    return format(L"answered %d", static_cast<int>(status));
}

const WinHttp* WinHttp::functions()
{
    // Neither the table nor the DLL is ever freed: requests may call back
    // into them until the process ends.
    static const WinHttp* const loaded = []() -> const WinHttp* {
        const HMODULE dll = loadSystemLibrary(L"winhttp.dll").release();
        std::unique_ptr<WinHttp> winHttp(new WinHttp);
        const bool complete = dll != nullptr && loadFunction(dll, "WinHttpOpen", winHttp->open) &&
                              loadFunction(dll, "WinHttpSetTimeouts", winHttp->setTimeouts) &&
                              loadFunction(dll, "WinHttpConnect", winHttp->connect) &&
                              loadFunction(dll, "WinHttpOpenRequest", winHttp->openRequest) &&
                              loadFunction(dll, "WinHttpSetOption", winHttp->setOption) &&
                              loadFunction(dll, "WinHttpSetStatusCallback", winHttp->setStatusCallback) &&
                              loadFunction(dll, "WinHttpSendRequest", winHttp->sendRequest) &&
                              loadFunction(dll, "WinHttpReceiveResponse", winHttp->receiveResponse) &&
                              loadFunction(dll, "WinHttpQueryHeaders", winHttp->queryHeaders) &&
                              loadFunction(dll, "WinHttpCloseHandle", winHttp->closeHandle);
        return complete ? winHttp.release() : nullptr;
    }();
    return loaded;
}

HttpRequestContext::HttpRequestContext(const WinHttp* winHttp)
    : winHttp_(winHttp), answered_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
}

void HttpRequestContext::answer(DWORD error)
{
    failure_ = error;
    SetEvent(answered_.get());
}

void HttpRequestContext::close(HINTERNET request)
{
    {
        // Waits for a callback that uses the handle now.
        ScopedLock lock(lock_);
        closed_ = true;
    }
    // Its last callback may free this context, on this thread or another.
    winHttp_->closeHandle(request);
}

void CALLBACK HttpRequestContext::onStatus(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID information,
                                           DWORD)
{
    if (auto* request = reinterpret_cast<HttpRequestContext*>(context)) {
        request->onStatus(handle, status, information);
    }
}

void HttpRequestContext::onStatus(HINTERNET handle, DWORD status, LPVOID information)
{
    if (status == WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING) {
        // The last callback of the request.
        delete this;
        return;
    }
    ScopedLock lock(lock_);
    if (closed_) {
        return;
    }
    switch (status) {
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
        if (!winHttp_->receiveResponse(handle, nullptr)) {
            answer(GetLastError());
        }
        break;
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE: {
        DWORD code = 0;
        DWORD size = sizeof code;
        if (winHttp_->queryHeaders(handle, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                   WINHTTP_HEADER_NAME_BY_INDEX, &code, &size, WINHTTP_NO_HEADER_INDEX)) {
            statusCode_ = code;
            answer(0);
        } else {
            answer(GetLastError());
        }
        break;
    }
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
        answer(static_cast<const WINHTTP_ASYNC_RESULT*>(information)->dwError);
        break;
    default:
        break;
    }
}

HttpProbe::HttpProbe(const ProbeTarget& target, DWORD timeoutMs) : target_(target), winHttp_(WinHttp::functions())
{
    if (winHttp_ == nullptr) {
        return;
    }
    session_.reset(winHttp_->open(L"Hostwell health probe", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                               WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC));
    if (!session_) {
        return;
    }
    const int timeout = static_cast<int>(timeoutMs);
    winHttp_->setTimeouts(session_.get(), timeout, timeout, timeout, timeout);
    connection_.reset(winHttp_->connect(session_.get(), target_.host.c_str(), target_.port, 0));
}

HttpProbe::~HttpProbe() { close(); }

HANDLE HttpProbe::event() const { return context_ != nullptr ? context_->answered() : nullptr; }

bool HttpProbe::begin()
{
    close();
    std::unique_ptr<HttpRequestContext> context(new HttpRequestContext(winHttp_));
    if (!context->isValid()) {
        return fail(GetLastError());
    }
    request_ = winHttp_->openRequest(connection_.get(), L"GET", target_.path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                  WINHTTP_DEFAULT_ACCEPT_TYPES, target_.secure ? WINHTTP_FLAG_SECURE : 0);
    if (request_ == nullptr) {
        return fail(GetLastError());
    }
    // The context is set before the callback, so that every callback of the request finds it.
    DWORD_PTR value = reinterpret_cast<DWORD_PTR>(context.get());
    // The address itself must answer, not one it sends the probe on to.
    DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
    if (!winHttp_->setOption(request_, WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects, sizeof noRedirects) ||
        !winHttp_->setOption(request_, WINHTTP_OPTION_CONTEXT_VALUE, &value, sizeof value) ||
        winHttp_->setStatusCallback(request_, HttpRequestContext::onStatus,
                                    WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS | WINHTTP_CALLBACK_FLAG_HANDLES,
                                    0) == WINHTTP_INVALID_STATUS_CALLBACK) {
        const DWORD error = GetLastError();
        // Without the callback nothing frees the context but this.
        winHttp_->closeHandle(request_);
        request_ = nullptr;
        return fail(error);
    }
    context_ = context.release();
    if (!winHttp_->sendRequest(request_, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, value)) {
        return fail(GetLastError());
    }
    return true;
}

bool HttpProbe::finish()
{
    const DWORD failure = context_ != nullptr ? context_->failure() : ERROR_INVALID_HANDLE;
    const DWORD status = context_ != nullptr ? context_->statusCode() : 0;
    close();
    if (failure != 0) {
        error_ = httpErrorText(failure);
        return false;
    }
    error_ = httpStatusFailure(status);
    return error_.empty();
}

void HttpProbe::cancel() { close(); }

bool HttpProbe::fail(DWORD error)
{
    error_ = httpErrorText(error);
    close();
    return false;
}

void HttpProbe::close()
{
    if (context_ != nullptr) {
        context_->close(request_);
    } else if (request_ != nullptr) {
        winHttp_->closeHandle(request_);
    }
    request_ = nullptr;
    context_ = nullptr;
}
