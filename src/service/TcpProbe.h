#pragma once

#include <winsock2.h>

#include <string>
#include <vector>

#include "service/AddressLookup.h"
#include "service/Probe.h"

struct Winsock;

// Holds when a TCP connection to the target succeeds, to any of the addresses
// its host name stands for, tried in the order the resolver gives them
// ("localhost" is ::1 first on Windows, and a server may listen on IPv4 only).
// A name is looked up without holding the caller; each connection is made
// without blocking, its completion sets the event.
class TcpProbe : public Probe {
public:
    explicit TcpProbe(const ProbeTarget& target, AddressResolver resolver = resolveAddresses);
    ~TcpProbe() override;
    TcpProbe(const TcpProbe&) = delete;
    TcpProbe& operator=(const TcpProbe&) = delete;

    bool isValid() const { return event_ != WSA_INVALID_EVENT; }
    bool begin() override;
    HANDLE event() const override;
    bool advance() override;
    bool finish() override;
    void cancel() override;

private:
    // Starts a connection to the next address; false when none is left.
    bool connectNext();
    void closeSocket();

    ProbeTarget target_;
    const Winsock* winsock_;
    AddressLookup lookup_;
    WSAEVENT event_ = WSA_INVALID_EVENT;
    SOCKET socket_ = INVALID_SOCKET;
    std::vector<SocketAddress> addresses_;
    size_t next_ = 0;
    bool held_ = false;
};

// "connection refused (10061)": the few errors a probe meets in words of its
// own, others in the system's.
std::wstring socketErrorText(int code);
