// The forms in which users paste an upstream proxy, from proxy lists and from curl:
//
//   host:port                          an HTTP proxy, as every row was at first
//   http://[user:password@]host:port   an HTTP proxy, with a login when one is given
//   socks5://[user:password@]host:port a SOCKS5 proxy; socks5h:// is the same here (the
//                                      target's name always goes to the proxy)
//   socks4a://[user@]host:port         a SOCKS4a proxy; socks4:// is taken as 4a (the name
//                                      is sent, never looked up here), the user as its id
//
// The scheme is matched without regard to case; a "/" may end the URL. The user name and
// password may hold %XX escapes (a "%40" for "@"), and the last "@" ends the login.
#pragma once

#include <string>
#include <string_view>

#include "runtime/upstream_kind.h"

namespace korvanel {

struct ProxyUrl {
    UpstreamKind kind = UpstreamKind::kHttp;
    std::string address;  // host:port, as the proxy list keeps it
    bool has_login = false;
    std::string user;
    std::string password;
};

enum class ProxyUrlParse {
    kParsed,
    kMalformed,  // not one of the forms, or an address the list cannot keep
    kBadLogin,   // a login that cannot be sent: empty or too long a user name, a password
                 // for SOCKS4a, a ":" in the user name, a control byte, a bad escape
};

ProxyUrlParse ParseProxyUrl(std::string_view text, ProxyUrl& out);

// The line of the logins file for `login`, and back: "host:port user:password" (the user
// name up to the first ":" after the address, the password the rest of the line, as it is).
std::string FormatLoginLine(const ProxyLogin& login);
bool ParseLoginLine(std::string_view line, ProxyLogin& out);

// True for a user name and password a login may have.
bool IsSendableLogin(std::string_view user, std::string_view password);

}  // namespace korvanel
