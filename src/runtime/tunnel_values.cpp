#include "runtime/tunnel_values.h"

#include <algorithm>

namespace korvanel {

namespace {

constexpr long kHighestPort = 65535;

// One item of the list: digits only, a value 1 to 65535 (leading zeros allowed).
bool ParsePort(std::string_view item, uint16_t& port) {
    if (item.empty()) return false;
    long value = 0;
    for (char c : item) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
        if (value > kHighestPort) return false;
    }
    if (value == 0) return false;
    port = static_cast<uint16_t>(value);
    return true;
}

}  // namespace

bool TunnelPorts::Contains(long port) const {
    return std::find(ports.begin(), ports.begin() + count, port) != ports.begin() + count;
}

bool TunnelPorts::operator==(const TunnelPorts& other) const {
    return count == other.count &&
           std::equal(ports.begin(), ports.begin() + count, other.ports.begin());
}

bool ParseTunnelPorts(std::string_view text, TunnelPorts& out) {
    TunnelPorts parsed;
    parsed.count = 0;
    for (;;) {
        std::size_t comma = text.find(',');
        if (parsed.count == kMaxTunnelPorts) return false;
        if (!ParsePort(text.substr(0, comma), parsed.ports[parsed.count])) return false;
        ++parsed.count;
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    out = parsed;
    return true;
}

std::string FormatTunnelPorts(const TunnelPorts& ports) {
    std::string text;
    for (int i = 0; i < ports.count; ++i) {
        if (i > 0) text += ',';
        text += std::to_string(ports.ports[i]);
    }
    return text;
}

bool ParseTunnelSwitch(std::string_view text, bool& on) {
    if (text != "0" && text != "1") return false;
    on = text == "1";
    return true;
}

std::string_view FormatTunnelSwitch(bool on) {
    return on ? "1" : "0";
}

}  // namespace korvanel
