// The two tunnel settings as values and as the text `data` holds for them: whether CONNECT
// tunnels are opened at all, and the ports a tunnel may go to. Pure: text in, a verdict and
// a value out.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace korvanel {

// The most ports the list holds; a longer list is refused.
inline constexpr int kMaxTunnelPorts = 32;
inline constexpr uint16_t kDefaultTunnelPort = 443;

// The ports a tunnel may go to, in the order the user gave them (duplicates kept).
struct TunnelPorts {
    std::array<uint16_t, kMaxTunnelPorts> ports{kDefaultTunnelPort};
    int count = 1;

    bool Contains(long port) const;
    bool operator==(const TunnelPorts& other) const;
};

// "443" or "443,8443": decimal ports 1 to 65535 separated by ",", nothing else (no blanks,
// no empty item, no sign). False, `out` untouched, on anything else or more than
// kMaxTunnelPorts ports.
bool ParseTunnelPorts(std::string_view text, TunnelPorts& out);
std::string FormatTunnelPorts(const TunnelPorts& ports);

// "0" (off) or "1" (on); false, `on` untouched, on any other text.
bool ParseTunnelSwitch(std::string_view text, bool& on);
std::string_view FormatTunnelSwitch(bool on);

}  // namespace korvanel
