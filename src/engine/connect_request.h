// Reading a CONNECT request line: "CONNECT host:port HTTP/1.x", the target in authority
// form. Pure: the line in, a verdict and views into the line out; nothing is copied, so
// the rule can be fed anything (tests, fuzzers).
#pragma once

#include <string_view>

namespace korvanel {

enum class ConnectLine {
    kNotConnect,  // the method is not CONNECT: the line takes the ordinary road
    kConnect,     // a tunnel request; the target is set
    kMalformed,   // CONNECT, but not a target and version a tunnel can be opened for
};

struct ConnectTarget {
    std::string_view host;  // a name or dotted quad: letters, digits, '.', '-', '_'
    std::string_view port;  // decimal text as it came
    long port_value = 0;    // 1 to 65535
};

// The longest host name a tunnel is opened for.
inline constexpr std::size_t kMaxConnectHostLength = 253;

// `line` is the request line with or without its line end (`line_end`). The fields are
// separated by single blanks; the version is "HTTP/1.0" or "HTTP/1.1"; the port has 1 to 5
// digits. An IPv6 literal or user information is malformed: tunnels go to IPv4 hosts.
ConnectLine ReadConnectLine(std::string_view line, std::string_view line_end,
                            ConnectTarget& target);

}  // namespace korvanel
