#pragma once

#include <winsock2.h>

#include "service/Probe.h"

// Holds when a TCP connection to the target succeeds. The connection is made
// without blocking: its completion sets the event.
class TcpProbe : public Probe {
public:
    explicit TcpProbe(const ProbeTarget& target);
    ~TcpProbe() override;
    TcpProbe(const TcpProbe&) = delete;
    TcpProbe& operator=(const TcpProbe&) = delete;

    bool isValid() const { return event_ != WSA_INVALID_EVENT; }
    bool begin() override;
    HANDLE event() const override { return event_; }
    bool finish() override;
    void cancel() override;

private:
    bool fail(const wchar_t* what, int code);

    ProbeTarget target_;
    WSAEVENT event_ = WSA_INVALID_EVENT;
    SOCKET socket_ = INVALID_SOCKET;
};

// "connection refused (10061)": the few errors a probe meets in words of its
// own, others in the system's.
std::wstring socketErrorText(int code);
