#include "settings/ProbeTarget.h"

#include "common/TextConversion.h"
#include "common/WhiteSpace.h"

namespace {

const size_t MAX_PORT_DIGITS = 5;

std::wstring parsePort(const std::wstring& text, unsigned short& port)
{
    if (text.empty() || text.size() > MAX_PORT_DIGITS || text.find_first_not_of(L"0123456789") != std::wstring::npos) {
        return L"has no port number after the colon";
    }
    const unsigned long number = std::stoul(text);
    if (number == 0 || number > 65535) {
        return L"has a port outside 1 to 65535";
    }
    port = static_cast<unsigned short>(number);
    return std::wstring();
}

// "host", "host:port", "[v6]" or "[v6]:port"; `port` keeps its value when none is written.
std::wstring parseAuthority(const std::wstring& text, std::wstring& host, unsigned short& port, bool portRequired)
{
    std::wstring rest;
    if (!text.empty() && text[0] == L'[') {
        const size_t close = text.find(L']');
        if (close == std::wstring::npos) {
            return L"has no ] after its IPv6 address";
        }
        host = text.substr(1, close - 1);
        rest = text.substr(close + 1);
        if (!rest.empty() && rest[0] != L':') {
            return L"has text after its IPv6 address";
        }
    } else {
        const size_t colon = text.find(L':');
        if (colon != std::wstring::npos && text.find(L':', colon + 1) != std::wstring::npos) {
            return L"has an IPv6 address without brackets, write it as [::1]:8080";
        }
        host = text.substr(0, colon);
        rest = colon == std::wstring::npos ? std::wstring() : text.substr(colon);
    }
    if (host.empty()) {
        return L"has no host";
    }
    if (rest.empty()) {
        return portRequired ? L"has no port" : std::wstring();
    }
    return parsePort(rest.substr(1), port);
}

bool startsWith(const std::wstring& text, const std::wstring& start) { return text.compare(0, start.size(), start) == 0; }

}  // namespace

std::wstring parseTcpTarget(const std::wstring& written, ProbeTarget& target)
{
    ProbeTarget parsed;
    parsed.kind = ProbeTarget::Kind::Tcp;
    parsed.text = trimWhiteSpace(written);
    if (parsed.text.find(L"://") != std::wstring::npos) {
        return L"is a URL, which belongs in <http>";
    }
    const std::wstring wrong = parseAuthority(parsed.text, parsed.host, parsed.port, true);
    if (wrong.empty()) {
        target = parsed;
    }
    return wrong;
}

std::wstring parseHttpTarget(const std::wstring& written, ProbeTarget& target)
{
    ProbeTarget parsed;
    parsed.kind = ProbeTarget::Kind::Http;
    parsed.text = trimWhiteSpace(written);
    const std::wstring lower = lowerCaseAscii(parsed.text);
    size_t start = 0;
    if (startsWith(lower, L"http://")) {
        start = 7;
        parsed.port = 80;
    } else if (startsWith(lower, L"https://")) {
        start = 8;
        parsed.port = 443;
        parsed.secure = true;
    } else {
        return L"does not begin with http:// or https://";
    }
    const size_t slash = parsed.text.find(L'/', start);
    const std::wstring authority = parsed.text.substr(start, slash == std::wstring::npos ? std::wstring::npos : slash - start);
    if (authority.find(L'@') != std::wstring::npos) {
        return L"has a user name, which the probe does not send";
    }
    const std::wstring wrong = parseAuthority(authority, parsed.host, parsed.port, false);
    if (!wrong.empty()) {
        return wrong;
    }
    parsed.path = slash == std::wstring::npos ? L"/" : parsed.text.substr(slash);
    target = parsed;
    return std::wstring();
}
