// The kinds of upstream proxy a row of the proxy list can be, and the login a row may carry.
//
//   http     requests go to it in absolute form, tunnels and inspected connections by a
//            CONNECT of this program's own (the kind every row had at first)
//   socks5   a SOCKS5 proxy (RFC 1928): the target's name goes to the proxy, which looks
//            it up; a login by user name and password (RFC 1929)
//   socks4a  a SOCKS4a proxy: the name goes to the proxy too; a user name, no password
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace korvanel {

enum class UpstreamKind : std::uint8_t { kHttp, kSocks5, kSocks4a };

// "http", "socks5", "socks4a": the names `data` keeps the kinds by.
std::string_view UpstreamKindName(UpstreamKind kind);
// The kind a name gives; false for any other name.
bool ParseUpstreamKindName(std::string_view name, UpstreamKind& kind);

// The longest user name and password a login may have (a SOCKS5 login's field holds
// no more; a longer one would be cut without a word).
inline constexpr std::size_t kMaxLoginFieldLength = 255;

// A proxy's login, kept by the proxy's address (its "host:port" text). Never in `data`
// and never in a log.
struct ProxyLogin {
    std::string address;
    std::string user;
    std::string password;
};

}  // namespace korvanel
