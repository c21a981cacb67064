#pragma once

#include <winsock2.h>

#include <functional>
#include <string>
#include <vector>

// One address a host name stands for, as connect takes it.
struct SocketAddress {
    SOCKADDR_STORAGE storage;
    int length;
};

// Finds the addresses of a host and port in the order the system gives them,
// waiting as long as that takes: 0, or a Winsock error code.
using AddressResolver =
    std::function<int(const std::wstring& host, unsigned short port, std::vector<SocketAddress>& addresses)>;

// The system's resolver: the hosts file, DNS and the rest, through GetAddrInfoW.
int resolveAddresses(const std::wstring& host, unsigned short port, std::vector<SocketAddress>& addresses);
// A numeric IPv4 or IPv6 address, which needs no lookup; false for a name.
bool numericAddress(const std::wstring& host, unsigned short port, SocketAddress& address);

// Looks a host name up on a thread of the system's pool, so that a resolver
// that does not answer never holds the thread that supervises the program:
// that thread waits for event() beside everything else and abandons a lookup
// that takes longer than the probe may. An abandoned lookup ends by itself and
// frees what it used.
class AddressLookup {
public:
    explicit AddressLookup(AddressResolver resolver = resolveAddresses) : resolver_(std::move(resolver)) {}
    ~AddressLookup() { abandon(); }
    AddressLookup(const AddressLookup&) = delete;
    AddressLookup& operator=(const AddressLookup&) = delete;

    // False when it could not be started; GetLastError says why.
    bool start(const std::wstring& host, unsigned short port);
    bool running() const { return pending_ != nullptr; }
    // Set once the addresses are in.
    HANDLE event() const;
    // Once the event is set, ends the lookup: 0 and the addresses, or the
    // resolver's error code.
    int finish(std::vector<SocketAddress>& addresses);
    void abandon();

private:
    struct Pending;
    static void CALLBACK work(PTP_CALLBACK_INSTANCE instance, void* context);

    AddressResolver resolver_;
    Pending* pending_ = nullptr;
};
