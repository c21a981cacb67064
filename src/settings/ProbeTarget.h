#pragma once

#include <chrono>
#include <string>

// Where a probe looks whether the program answers: a TCP port, or an HTTP or
// HTTPS address.
struct ProbeTarget {
    enum class Kind { Tcp, Http };
    Kind kind = Kind::Tcp;
    // Without the brackets of an IPv6 address.
    std::wstring host;
    unsigned short port = 0;
    bool secure = false;
    // With its query; "/" at least.
    std::wstring path;
    // As written, for messages.
    std::wstring text;

    // "tcp 127.0.0.1:8080", "http http://127.0.0.1:8080/health".
    std::wstring name() const { return (kind == Kind::Tcp ? L"tcp " : L"http ") + text; }
};

// `<health>`: a probe of the running program, and how often it may fail.
struct HealthCheck {
    ProbeTarget target;
    std::chrono::milliseconds interval{10000};
    std::chrono::milliseconds timeout{2000};
    // From the program's start; none: from the moment the service runs.
    std::chrono::milliseconds grace{0};
    unsigned failures = 3;
};

// Each reads `written` (white space around it is ignored) into `target` and
// returns the empty text, or what is wrong with it for a message.
// host:port, an IPv6 address in brackets: [::1]:8080.
std::wstring parseTcpTarget(const std::wstring& written, ProbeTarget& target);
// http:// or https://, a host, an optional port and a path.
std::wstring parseHttpTarget(const std::wstring& written, ProbeTarget& target);
