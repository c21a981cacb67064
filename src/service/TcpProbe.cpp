#include "service/TcpProbe.h"

#include <ws2tcpip.h>

#include <memory>

#include "common/Format.h"
#include "common/SystemLibrary.h"
#include "logging/ErrorText.h"

// Winsock's functions, from the DLL loaded with the first TCP probe: a service
// without one does not carry ws2_32 and the DLLs it needs.
struct Winsock {
    decltype(&::WSAStartup) startup = nullptr;
    decltype(&::WSACreateEvent) createEvent = nullptr;
    decltype(&::WSACloseEvent) closeEvent = nullptr;
    decltype(&::WSAResetEvent) resetEvent = nullptr;
    decltype(&::GetAddrInfoW) getAddrInfo = nullptr;
    decltype(&::FreeAddrInfoW) freeAddrInfo = nullptr;
    decltype(&::socket) socket = nullptr;
    decltype(&::WSAEventSelect) eventSelect = nullptr;
    decltype(&::connect) connect = nullptr;
    decltype(&::WSAGetLastError) getLastError = nullptr;
    decltype(&::WSAEnumNetworkEvents) enumNetworkEvents = nullptr;
    decltype(&::closesocket) closeSocket = nullptr;
};

namespace {

// Loaded and started once for the life of the process, never freed or
// cleaned up; null when that failed.
const Winsock* winsock()
{
    static const Winsock* const loaded = []() -> const Winsock* {
        const HMODULE dll = loadSystemLibrary(L"ws2_32.dll").release();
        std::unique_ptr<Winsock> functions(new Winsock);
        const bool complete =
            dll != nullptr && loadFunction(dll, "WSAStartup", functions->startup) &&
            loadFunction(dll, "WSACreateEvent", functions->createEvent) &&
            loadFunction(dll, "WSACloseEvent", functions->closeEvent) &&
            loadFunction(dll, "WSAResetEvent", functions->resetEvent) &&
            loadFunction(dll, "GetAddrInfoW", functions->getAddrInfo) &&
            loadFunction(dll, "FreeAddrInfoW", functions->freeAddrInfo) && loadFunction(dll, "socket", functions->socket) &&
            loadFunction(dll, "WSAEventSelect", functions->eventSelect) &&
            loadFunction(dll, "connect", functions->connect) &&
            loadFunction(dll, "WSAGetLastError", functions->getLastError) &&
            loadFunction(dll, "WSAEnumNetworkEvents", functions->enumNetworkEvents) &&
            loadFunction(dll, "closesocket", functions->closeSocket);
        WSADATA data;
        return complete && functions->startup(MAKEWORD(2, 2), &data) == 0 ? functions.release() : nullptr;
    }();
    return loaded;
}

}  // namespace

std::wstring socketErrorText(int code)
{
    switch (code) {
    case WSAECONNREFUSED: return format(L"connection refused (%d)", code);
    case WSAETIMEDOUT: return format(L"timed out (%d)", code);
    case WSAEHOSTUNREACH: return format(L"host unreachable (%d)", code);
    case WSAENETUNREACH: return format(L"network unreachable (%d)", code);
    default: return errorText(static_cast<DWORD>(code));
    }
}

TcpProbe::TcpProbe(const ProbeTarget& target) : target_(target), winsock_(winsock())
{
    if (winsock_ != nullptr) {
        event_ = winsock_->createEvent();
    }
}

TcpProbe::~TcpProbe()
{
    if (event_ != WSA_INVALID_EVENT) {
        cancel();
        winsock_->closeEvent(event_);
    }
}

bool TcpProbe::begin()
{
    cancel();
    ADDRINFOW hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    ADDRINFOW* found = nullptr;
    // A host name is looked up before the time limit starts; an address takes no time.
    const int lookup = winsock_->getAddrInfo(target_.host.c_str(), format(L"%d", static_cast<int>(target_.port)).c_str(), &hints,
                                    &found);
    if (lookup != 0) {
        return fail(L"cannot find the host", lookup);
    }
    socket_ = winsock_->socket(found->ai_family, found->ai_socktype, found->ai_protocol);
    const bool connecting = socket_ != INVALID_SOCKET && winsock_->eventSelect(socket_, event_, FD_CONNECT) == 0 &&
                            (winsock_->connect(socket_, found->ai_addr, static_cast<int>(found->ai_addrlen)) == 0 ||
                             winsock_->getLastError() == WSAEWOULDBLOCK);
    const int error = winsock_->getLastError();
    winsock_->freeAddrInfo(found);
    return connecting || fail(L"cannot connect", error);
}

bool TcpProbe::finish()
{
    WSANETWORKEVENTS events = {};
    const bool read = winsock_->enumNetworkEvents(socket_, event_, &events) == 0;
    const int error = read ? events.iErrorCode[FD_CONNECT_BIT] : winsock_->getLastError();
    cancel();
    if (read && (events.lNetworkEvents & FD_CONNECT) != 0 && error == 0) {
        return true;
    }
    error_ = socketErrorText(error);
    return false;
}

void TcpProbe::cancel()
{
    if (socket_ != INVALID_SOCKET) {
        winsock_->closeSocket(socket_);
        socket_ = INVALID_SOCKET;
    }
    winsock_->resetEvent(event_);
}

bool TcpProbe::fail(const wchar_t* what, int code)
{
    error_ = format(L"%s: %s", what, socketErrorText(code));
    cancel();
    return false;
}
