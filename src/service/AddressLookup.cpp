#include "service/AddressLookup.h"

#include <ws2tcpip.h>

#include <atomic>
#include <cstring>
#include <memory>

#include "common/Format.h"
#include "common/UniqueResource.h"
#include "logging/ThreadFailure.h"
#include "service/Winsock.h"

namespace {

int addressesOf(const std::wstring& host, unsigned short port, int flags, std::vector<SocketAddress>& addresses)
{
    const Winsock* functions = winsock();
    if (functions == nullptr) {
        return WSANOTINITIALISED;
    }
    ADDRINFOW hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = flags;
    ADDRINFOW* found = nullptr;
    const int error =
        functions->getAddrInfo(host.c_str(), format(L"%d", static_cast<int>(port)).c_str(), &hints, &found);
    if (error != 0) {
        return error;
    }
    for (const ADDRINFOW* entry = found; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_addr != nullptr && entry->ai_addrlen <= sizeof(SOCKADDR_STORAGE)) {
            SocketAddress address = {};
            memcpy(&address.storage, entry->ai_addr, entry->ai_addrlen);
            address.length = static_cast<int>(entry->ai_addrlen);
            addresses.push_back(address);
        }
    }
    functions->freeAddrInfo(found);
    return addresses.empty() ? WSANO_DATA : 0;
}

}  // namespace

int resolveAddresses(const std::wstring& host, unsigned short port, std::vector<SocketAddress>& addresses)
{
    return addressesOf(host, port, 0, addresses);
}

bool numericAddress(const std::wstring& host, unsigned short port, SocketAddress& address)
{
    std::vector<SocketAddress> addresses;
    if (addressesOf(host, port, AI_NUMERICHOST, addresses) != 0) {
        return false;
    }
    address = addresses.front();
    return true;
}

// What the lookup and its owner share; freed by whichever of them lets go last.
struct AddressLookup::Pending {
    AddressResolver resolver;
    std::wstring host;
    unsigned short port = 0;
    UniqueHandle done{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    int error = 0;
    std::vector<SocketAddress> addresses;
    std::atomic<int> holders{2};

    void release()
    {
        if (--holders == 0) {
            delete this;
        }
    }
};

bool AddressLookup::start(const std::wstring& host, unsigned short port)
{
    abandon();
    std::unique_ptr<Pending> pending(new Pending);
    if (!pending->done) {
        return false;
    }
    pending->resolver = resolver_;
    pending->host = host;
    pending->port = port;
    if (!TrySubmitThreadpoolCallback(work, pending.get(), nullptr)) {
        return false;
    }
    pending_ = pending.release();
    return true;
}

HANDLE AddressLookup::event() const { return pending_ != nullptr ? pending_->done.get() : nullptr; }

int AddressLookup::finish(std::vector<SocketAddress>& addresses)
{
    const int error = pending_ != nullptr ? pending_->error : WSAEINVAL;
    if (pending_ != nullptr) {
        addresses = pending_->addresses;
    }
    abandon();
    return error;
}

void AddressLookup::abandon()
{
    if (pending_ != nullptr) {
        pending_->release();
        pending_ = nullptr;
    }
}

void CALLBACK AddressLookup::work(PTP_CALLBACK_INSTANCE, void* context)
{
    auto* pending = static_cast<Pending*>(context);
    const bool ran = fenced(L"Address lookup", [pending] {
        pending->error = pending->resolver(pending->host, pending->port, pending->addresses);
    });
    if (!ran) {
        pending->error = WSA_NOT_ENOUGH_MEMORY;
    }
    // The event's setting hands the result over to the owner.
    SetEvent(pending->done.get());
    pending->release();
}
