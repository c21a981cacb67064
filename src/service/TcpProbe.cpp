#include "service/TcpProbe.h"

#include "common/Format.h"
#include "logging/ErrorText.h"
#include "service/Winsock.h"

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

TcpProbe::TcpProbe(const ProbeTarget& target, AddressResolver resolver)
    : target_(target), winsock_(winsock()), lookup_(std::move(resolver))
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
    held_ = false;
    error_.clear();
    addresses_.clear();
    next_ = 0;
    SocketAddress address = {};
    if (numericAddress(target_.host, target_.port, address)) {
        addresses_.push_back(address);
        return connectNext();
    }
    if (!lookup_.start(target_.host, target_.port)) {
        error_ = L"cannot find the host: " + lastErrorText();
        return false;
    }
    return true;
}

HANDLE TcpProbe::event() const { return lookup_.running() ? lookup_.event() : event_; }

bool TcpProbe::advance()
{
    if (lookup_.running()) {
        const int error = lookup_.finish(addresses_);
        if (error != 0) {
            error_ = L"cannot find the host: " + socketErrorText(error);
            return true;
        }
        return !connectNext();
    }
    WSANETWORKEVENTS events = {};
    const bool read = winsock_->enumNetworkEvents(socket_, event_, &events) == 0;
    const int error = read ? events.iErrorCode[FD_CONNECT_BIT] : winsock_->getLastError();
    closeSocket();
    if (read && (events.lNetworkEvents & FD_CONNECT) != 0 && error == 0) {
        held_ = true;
        return true;
    }
    error_ = socketErrorText(error);
    return !connectNext();
}

bool TcpProbe::finish()
{
    cancel();
    return held_;
}

void TcpProbe::cancel()
{
    lookup_.abandon();
    closeSocket();
}

bool TcpProbe::connectNext()
{
    while (next_ < addresses_.size()) {
        const SocketAddress& address = addresses_[next_++];
        socket_ = winsock_->socket(address.storage.ss_family, SOCK_STREAM, IPPROTO_TCP);
        const bool connecting =
            socket_ != INVALID_SOCKET && winsock_->eventSelect(socket_, event_, FD_CONNECT) == 0 &&
            (winsock_->connect(socket_, reinterpret_cast<const sockaddr*>(&address.storage), address.length) == 0 ||
             winsock_->getLastError() == WSAEWOULDBLOCK);
        if (connecting) {
            return true;
        }
        error_ = L"cannot connect: " + socketErrorText(winsock_->getLastError());
        closeSocket();
    }
    return false;
}

void TcpProbe::closeSocket()
{
    if (socket_ != INVALID_SOCKET) {
        winsock_->closeSocket(socket_);
        socket_ = INVALID_SOCKET;
    }
    winsock_->resetEvent(event_);
}
