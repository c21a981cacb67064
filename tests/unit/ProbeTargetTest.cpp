#include <gtest/gtest.h>

#include <string>

#include "common/TextConversion.h"
#include "service/HttpProbe.h"
#include "settings/ProbeTarget.h"

TEST(ProbeTarget, ReadsHostAndPortIncludingIPv6AndSaysWhatIsWrong)
{
    ProbeTarget tcp;
    EXPECT_EQ(parseTcpTarget(L" 127.0.0.1:8080 ", tcp), L"");
    EXPECT_EQ(tcp.host, L"127.0.0.1");
    EXPECT_EQ(tcp.port, 8080);
    EXPECT_EQ(tcp.name(), L"tcp 127.0.0.1:8080");
    EXPECT_EQ(parseTcpTarget(L"[::1]:9000", tcp), L"");
    EXPECT_EQ(tcp.host, L"::1");
    EXPECT_EQ(tcp.port, 9000);

    EXPECT_EQ(parseTcpTarget(L"localhost", tcp), L"has no port");
    EXPECT_EQ(parseTcpTarget(L"localhost:", tcp), L"has no port number after the colon");
    EXPECT_EQ(parseTcpTarget(L":8080", tcp), L"has no host");
    EXPECT_EQ(parseTcpTarget(L"host:70000", tcp), L"has a port outside 1 to 65535");
    EXPECT_EQ(parseTcpTarget(L"host:0", tcp), L"has a port outside 1 to 65535");
    EXPECT_EQ(parseTcpTarget(L"::1:8080", tcp), L"has an IPv6 address without brackets, write it as [::1]:8080");
    EXPECT_EQ(parseTcpTarget(L"http://127.0.0.1:80", tcp), L"is a URL, which belongs in <http>");
    EXPECT_EQ(parseTcpTarget(L"[::1:8080", tcp), L"has no ] after its IPv6 address");
    // A refused value leaves the target as it was.
    EXPECT_EQ(tcp.host, L"::1");
    // Both ends of the range are ports.
    EXPECT_EQ(parseTcpTarget(L"host:65535", tcp), L"");
    EXPECT_EQ(tcp.port, 65535);
    EXPECT_EQ(parseTcpTarget(L"host:65536", tcp), L"has a port outside 1 to 65535");
    EXPECT_EQ(parseTcpTarget(L"host:1", tcp), L"");
    EXPECT_EQ(tcp.port, 1);
}

TEST(ProbeTarget, ReadsHttpAndHttpsAddressesWithTheirDefaultPortsAndRefusesOtherSchemes)
{
    ProbeTarget http;
    EXPECT_EQ(parseHttpTarget(L"http://127.0.0.1:8080/health?full=1", http), L"");
    EXPECT_EQ(http.host, L"127.0.0.1");
    EXPECT_EQ(http.port, 8080);
    EXPECT_FALSE(http.secure);
    EXPECT_EQ(http.path, L"/health?full=1");
    EXPECT_EQ(http.name(), L"http http://127.0.0.1:8080/health?full=1");

    EXPECT_EQ(parseHttpTarget(L"HTTPS://[::1]", http), L"");
    EXPECT_EQ(http.host, L"::1");
    EXPECT_EQ(http.port, 443);
    EXPECT_TRUE(http.secure);
    EXPECT_EQ(http.path, L"/");
    EXPECT_EQ(parseHttpTarget(L"http://example", http), L"");
    EXPECT_EQ(http.port, 80);

    EXPECT_EQ(parseHttpTarget(L"ftp://host/x", http), L"does not begin with http:// or https://");
    EXPECT_EQ(parseHttpTarget(L"127.0.0.1:8080/health", http), L"does not begin with http:// or https://");
    EXPECT_EQ(parseHttpTarget(L"http:///health", http), L"has no host");
    EXPECT_EQ(parseHttpTarget(L"http://user@host/", http), L"has a user name, which the probe does not send");
    EXPECT_EQ(parseHttpTarget(L"http://host:99999/", http), L"has a port outside 1 to 65535");
}

TEST(HttpProbe, CountsARedirectAsAFailureAndTellsWinHttpsErrorsInWords)
{
    EXPECT_EQ(httpStatusFailure(200), L"");
    EXPECT_EQ(httpStatusFailure(299), L"");
    EXPECT_EQ(httpStatusFailure(302),
              L"answered 302, a redirect, which is not followed: the address itself must answer 200 to 299");
    EXPECT_EQ(httpStatusFailure(503), L"answered 503");
    ASSERT_NE(WinHttp::functions(), nullptr);
    for (DWORD code : {12156u, 12150u, 12157u}) {
        const std::wstring text = httpErrorText(code);
        const std::wstring number = L" (" + std::to_wstring(code) + L")";
        ASSERT_GT(text.size(), number.size()) << code;
        EXPECT_EQ(text.compare(text.size() - number.size(), number.size(), number), 0) << toUtf8(text);
    }
}
