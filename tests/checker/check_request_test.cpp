// The check address, the request, the status line test and the anonymity tests: pure text.
#include "checker/check_request.h"

#include <gtest/gtest.h>

#include "checker/anonymity.h"
#include "checker/check_answer.h"
#include "runtime/settings.h"

namespace korvanel {
namespace {

TEST(CheckAddress, SplitsHostPortAndPath) {
    struct Case {
        const char* address;
        int result;
        const char* host;
        const char* port;
        const char* path;
    } cases[] = {
        {"http://h:8080/x", 1, "h", "8080", "/x"},
        {"http://h/x", 1, "h", "80", "/x"},
        {"http://h:/x", 1, "h:", "80", "/x"},  // a ":" ending the authority stays
        {"http://h:12345678/x", 1, "h", "12345678", "/x"},
        {"http://h:123456789/x", -1, "", "", ""},  // nine characters of port
        {"http://h", -1, "", "", ""},              // no path
        {"http://h:8080", -1, "", "", ""},
        {"http:///x", -1, "", "", ""},  // no host
        {"http://:8080/x", -1, "", "", ""},
        {"https://h/x", -1, "", "", ""},
        {"http://h/a b", 1, "h", "80", "/a"},  // the path ends at white space
    };
    for (const Case& c : cases) {
        CheckTarget target;
        ASSERT_EQ(ParseCheckAddress(c.address, target), c.result) << c.address;
        if (c.result != 1) continue;
        EXPECT_EQ(target.host.view(), c.host) << c.address;
        EXPECT_EQ(target.port.view(), c.port) << c.address;
        EXPECT_EQ(target.path.view(), c.path) << c.address;
    }
    CheckTarget target;
    EXPECT_EQ(ParseCheckAddress(kDefaultCheckAddress, target), 1);
    EXPECT_EQ(target.path.view(), "/dizu8d.cgi");
}

TEST(CheckRequest, CarriesTheAbsoluteUrlAndTheFixedHeaders) {
    CheckRequest request;
    ASSERT_EQ(BuildCheckRequest("h", "8080", "/x", request), 1);
    EXPECT_EQ(request.view(),
              "GET http://h:8080/x HTTP/1.0\r\n"
              "Host: h:8080\r\n"
              "User-Agent: Mozilla/5.0 (Windows NT 6.1; WOW64; rv:15.0) Gecko/20100101 "
              "Firefox/15.0.1\r\n"
              "Accept: image/png,image/*;q=0.8,*/*;q=0.5\r\n"
              "Accept-Language: ja,en-us;q=0.7,en;q=0.3\r\n"
              "Accept-Encoding: gzip, deflate\r\n"
              "Referer: http://h:8080/\r\n"
              "Connection: close\r\n\r\n");
    // The longest parts the address allows still fit; longer ones are refused.
    std::string host(249, 'h'), path = "/" + std::string(248, 'p');
    EXPECT_EQ(BuildCheckRequest(host, "12345678", path, request), 1);
    EXPECT_TRUE(request.view().ends_with("\r\n\r\n"));
    EXPECT_EQ(BuildCheckRequest(std::string(1800, 'h'), "1", "/", request), -1);
    // Host and port count each time they stand in the request, not once.
    EXPECT_EQ(BuildCheckRequest(std::string(600, 'h'), "1", "/", request), -1);
}

// "Host:" and "Referer:" name the authority exactly as the request line does.
TEST(CheckRequest, HostAndRefererFollowTheRequestLine) {
    struct Case {
        const char* host;
        const char* port;
        const char* url;        // the absolute URL of the request line
        const char* authority;  // in "Host:" and "Referer:"
    } cases[] = {
        {"h", "80", "http://h/x", "h"},
        {"h", "", "http://h/x", "h"},
        {"h", "080", "http://h/x", "h"},  // a port that reads as 80 is left out of both
        {"kvcheck.test", "18081", "http://kvcheck.test:18081/x", "kvcheck.test:18081"},
        {"10.0.0.7", "8080", "http://10.0.0.7:8080/x", "10.0.0.7:8080"},
        {"Mixed.Case", "80", "http://Mixed.Case/x", "Mixed.Case"},
        {"h:", "80", "http://h:/x", "h:"},
        {"", "8080", "http://:8080/x", "checker.example.net"},  // nothing else is known
    };
    for (const Case& c : cases) {
        CheckRequest request;
        ASSERT_EQ(BuildCheckRequest(c.host, c.port, "/x", request), 1) << c.host;
        std::string text = request.str();
        std::string authority = c.authority;
        EXPECT_TRUE(text.starts_with("GET " + std::string(c.url) + " HTTP/1.0\r\n")) << text;
        EXPECT_NE(text.find("\r\nHost: " + authority + "\r\n"), std::string::npos) << text;
        EXPECT_NE(text.find("\r\nReferer: http://" + authority + "/\r\n"), std::string::npos)
            << text;
    }
}

TEST(CheckStatusLine, NeedsThreeFieldsHttp1AndA2xxCode) {
    struct Case {
        const char* line;
        int result;
    } cases[] = {
        {"HTTP/1.0 200 OK\r\n", kStatusOk},
        {"HTTP/1.1 204 No Content\r\n", kStatusOk},
        {"HTTP/1.1 200 OK\n", kStatusOk},
        {"HTTP/1.1 200 OK\r", kStatusOk},
        {"HTTP/1.1 200\r\n", kStatusMalformed},
        {"HTTP/1.1 200 \r\n", kStatusMalformed},
        {"HTTP/2.0 200 OK\r\n", kStatusMalformed},
        {"ICY 200 OK\r\n", kStatusMalformed},
        {"HTTP/1.1 404 Not Found\r\n", kStatusNotSuccess},
        {"HTTP/1.1 302 Found\r\n", kStatusNotSuccess},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseCheckStatusLine(c.line), c.result) << c.line;
}

TEST(Anonymity, TheExternalAddressRevealsInPlainAndDashedForm) {
    EXPECT_TRUE(RevealsExternalAddress("for=203.0.113.5;", "203.0.113.5"));
    EXPECT_TRUE(RevealsExternalAddress("host-203-0-113-5.example", "203.0.113.5"));
    EXPECT_FALSE(RevealsExternalAddress("203.0.113.6 and 203-0-113-6", "203.0.113.5"));
    // An address that is not four dot-separated parts cannot be told apart: revealing.
    EXPECT_TRUE(RevealsExternalAddress("nothing here", "not-an-address"));
    EXPECT_TRUE(RevealsExternalAddress("nothing here", "1.2.3."));
}

TEST(Anonymity, LocalTextsCountUpToTheFirstEmptySlot) {
    LocalIdentityList list;
    list.texts[0] = "192.168.1.5";
    list.texts[1] = "mybox";
    list.texts[3] = "after-the-gap";
    list.count = 4;
    EXPECT_TRUE(RevealsLocalIdentity("X-Forwarded-For: 192.168.1.5", list));
    EXPECT_TRUE(RevealsLocalIdentity("Via: 1.1 mybox", list));
    EXPECT_FALSE(RevealsLocalIdentity("after-the-gap", list));
    EXPECT_FALSE(RevealsLocalIdentity("", LocalIdentityList{}));
}

}  // namespace
}  // namespace korvanel
