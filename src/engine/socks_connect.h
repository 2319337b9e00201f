// A SOCKS proxy's connect to a target, over a connection already made to the proxy: the
// greeting and the login (SOCKS5), then the CONNECT naming the target. The proxy looks the
// name up; this machine never does. Every answer is awaited within the answer-head time
// limit, and a stop (which revokes the socket) ends the wait at once. Only the answers are
// read: what follows them belongs to the target.
#pragma once

#include <string_view>

#include "engine/handler_step.h"
#include "runtime/upstream_kind.h"

namespace korvanel {

struct Runtime;
struct RequestState;
class Socket;

enum class SocksEnd {
    kConnected,
    kFailed,   // the proxy refused, answered what is not SOCKS, closed or went silent
    kStopped,  // a stop revoked the socket
};

// `user` empty: no login (a SOCKS4a proxy gets the user as its id, without a password).
// On kFailed `reason` is the user's words for why (a texts.h text).
SocksEnd SocksConnect(Runtime& rt, Socket& socket, UpstreamKind kind, std::string_view host,
                      std::string_view port, std::string_view user, std::string_view password,
                      const char*& reason);

// The road of a request through the SOCKS proxy in use (r.settings): a connection to the
// proxy into `socket` (its numeric address into r.numeric_address), and its connect to
// host:port. On kFailed and kSelf the reason is in r.error, naming the proxy and the target.
RouteOpen ConnectThroughSocks(Runtime& rt, Socket& socket, RequestState& r, std::string_view host,
                              std::string_view port);

}  // namespace korvanel
