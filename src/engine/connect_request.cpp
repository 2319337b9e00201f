#include "engine/connect_request.h"

#include "engine/text_fields.h"

namespace korvanel {

namespace {

constexpr std::string_view kMethod = "CONNECT";
constexpr std::size_t kMaxPortDigits = 5;
constexpr long kHighestPort = 65535;

bool IsHostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == '_';
}

bool ReadHost(std::string_view host) {
    if (host.empty() || host.size() > kMaxConnectHostLength) return false;
    for (char c : host) {
        if (!IsHostCharacter(c)) return false;
    }
    return true;
}

// 1 to 65535 from 1 to 5 digits; 0 when the text is anything else.
long ReadPort(std::string_view port) {
    if (port.empty() || port.size() > kMaxPortDigits) return 0;
    long value = 0;
    for (char c : port) {
        if (c < '0' || c > '9') return 0;
        value = value * 10 + (c - '0');
    }
    return value <= kHighestPort ? value : 0;
}

}  // namespace

ConnectLine ReadConnectLine(std::string_view line, std::string_view line_end,
                            ConnectTarget& target) {
    line = WithoutLineEnd(line, line_end);
    std::size_t first = line.find(' ');
    if (line.substr(0, first) != kMethod) return ConnectLine::kNotConnect;
    if (first == std::string_view::npos) return ConnectLine::kMalformed;
    std::string_view rest = line.substr(first + 1);
    std::size_t second = rest.find(' ');
    if (second == std::string_view::npos) return ConnectLine::kMalformed;
    std::string_view authority = rest.substr(0, second);
    std::string_view version = rest.substr(second + 1);
    if (version != "HTTP/1.0" && version != "HTTP/1.1") return ConnectLine::kMalformed;
    std::size_t colon = authority.rfind(':');
    if (colon == std::string_view::npos) return ConnectLine::kMalformed;
    std::string_view host = authority.substr(0, colon);
    std::string_view port = authority.substr(colon + 1);
    long value = ReadPort(port);
    if (!ReadHost(host) || value == 0) return ConnectLine::kMalformed;
    target.host = host;
    target.port = port;
    target.port_value = value;
    return ConnectLine::kConnect;
}

}  // namespace korvanel
