#include "engine/connect_request.h"

#include <gtest/gtest.h>

#include <string>

namespace korvanel {
namespace {

struct LineCase {
    const char* name;
    std::string line;
    ConnectLine verdict;
    const char* host;
    long port;
};

TEST(ConnectRequest, ReadsTheTargetOrSaysWhyNot) {
    const LineCase cases[] = {
        {"name", "CONNECT example.com:443 HTTP/1.1\r\n", ConnectLine::kConnect, "example.com", 443},
        {"dotted quad, 1.0", "CONNECT 10.0.0.1:8443 HTTP/1.0\r\n", ConnectLine::kConnect,
         "10.0.0.1", 8443},
        {"bare LF line", "CONNECT a_b-c.test:1 HTTP/1.1", ConnectLine::kConnect, "a_b-c.test", 1},
        {"highest port", "CONNECT h:65535 HTTP/1.1\r\n", ConnectLine::kConnect, "h", 65535},
        {"leading zeros", "CONNECT h:00443 HTTP/1.1\r\n", ConnectLine::kConnect, "h", 443},
        {"GET", "GET http://h/ HTTP/1.1\r\n", ConnectLine::kNotConnect, "", 0},
        {"lower case method", "connect h:443 HTTP/1.1\r\n", ConnectLine::kNotConnect, "", 0},
        {"longer method", "CONNECTX h:443 HTTP/1.1\r\n", ConnectLine::kNotConnect, "", 0},
        {"method alone", "CONNECT\r\n", ConnectLine::kMalformed, "", 0},
        {"no version", "CONNECT h:443\r\n", ConnectLine::kMalformed, "", 0},
        {"no port", "CONNECT h HTTP/1.1\r\n", ConnectLine::kMalformed, "", 0},
        {"empty port", "CONNECT h: HTTP/1.1\r\n", ConnectLine::kMalformed, "", 0},
        {"port 0", "CONNECT h:0 HTTP/1.1\r\n", ConnectLine::kMalformed, "", 0},
        {"port too high", "CONNECT h:65536 HTTP/1.1\r\n", ConnectLine::kMalformed, "", 0},
        {"six digits", "CONNECT h:000443 HTTP/1.1\r\n", ConnectLine::kMalformed, "", 0},
        {"signed port", "CONNECT h:+443 HTTP/1.1\r\n", ConnectLine::kMalformed, "", 0},
        {"empty host", "CONNECT :443 HTTP/1.1\r\n", ConnectLine::kMalformed, "", 0},
        {"IPv6 literal", "CONNECT [::1]:443 HTTP/1.1\r\n", ConnectLine::kMalformed, "", 0},
        {"user information", "CONNECT u@h:443 HTTP/1.1\r\n", ConnectLine::kMalformed, "", 0},
        {"URL", "CONNECT http://h:443/ HTTP/1.1\r\n", ConnectLine::kMalformed, "", 0},
        {"two blanks", "CONNECT  h:443 HTTP/1.1\r\n", ConnectLine::kMalformed, "", 0},
        {"tab", "CONNECT\th:443 HTTP/1.1\r\n", ConnectLine::kNotConnect, "", 0},
        {"HTTP/2", "CONNECT h:443 HTTP/2.0\r\n", ConnectLine::kMalformed, "", 0},
        {"trailing field", "CONNECT h:443 HTTP/1.1 x\r\n", ConnectLine::kMalformed, "", 0},
        {"NUL in host", std::string("CONNECT h\0x:443 HTTP/1.1\r\n", 27), ConnectLine::kMalformed,
         "", 0},
        {"host too long", "CONNECT " + std::string(254, 'a') + ":443 HTTP/1.1\r\n",
         ConnectLine::kMalformed, "", 0},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.name);
        ConnectTarget target;
        ASSERT_EQ(ReadConnectLine(c.line, "\r\n", target), c.verdict);
        EXPECT_EQ(target.host, c.host);
        EXPECT_EQ(target.port_value, c.port);
    }
    ConnectTarget longest;
    EXPECT_EQ(
        ReadConnectLine("CONNECT " + std::string(253, 'a') + ":443 HTTP/1.1", "\r\n", longest),
        ConnectLine::kConnect);
}

}  // namespace
}  // namespace korvanel
