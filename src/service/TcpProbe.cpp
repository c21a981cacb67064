#include "service/TcpProbe.h"

#include <ws2tcpip.h>

#include "common/Format.h"
#include "logging/ErrorText.h"

namespace {

bool winsockStarted()
{
    // Started once for the life of the process; never cleaned up.
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
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

TcpProbe::TcpProbe(const ProbeTarget& target) : target_(target)
{
    if (winsockStarted()) {
        event_ = WSACreateEvent();
    }
}

TcpProbe::~TcpProbe()
{
    cancel();
    if (event_ != WSA_INVALID_EVENT) {
        WSACloseEvent(event_);
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
    const int lookup = GetAddrInfoW(target_.host.c_str(), format(L"%d", static_cast<int>(target_.port)).c_str(), &hints,
                                    &found);
    if (lookup != 0) {
        return fail(L"cannot find the host", lookup);
    }
    socket_ = socket(found->ai_family, found->ai_socktype, found->ai_protocol);
    const bool connecting = socket_ != INVALID_SOCKET && WSAEventSelect(socket_, event_, FD_CONNECT) == 0 &&
                            (connect(socket_, found->ai_addr, static_cast<int>(found->ai_addrlen)) == 0 ||
                             WSAGetLastError() == WSAEWOULDBLOCK);
    const int error = WSAGetLastError();
    FreeAddrInfoW(found);
    return connecting || fail(L"cannot connect", error);
}

bool TcpProbe::finish()
{
    WSANETWORKEVENTS events = {};
    const bool read = WSAEnumNetworkEvents(socket_, event_, &events) == 0;
    const int error = read ? events.iErrorCode[FD_CONNECT_BIT] : WSAGetLastError();
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
        closesocket(socket_);
        socket_ = INVALID_SOCKET;
    }
    WSAResetEvent(event_);
}

bool TcpProbe::fail(const wchar_t* what, int code)
{
    error_ = format(L"%s: %s", what, socketErrorText(code));
    cancel();
    return false;
}
