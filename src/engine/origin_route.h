// The road from a connection handler to the origin of one request. The handler asks the
// route where the connection goes, opens it through the route (again after a dropped one),
// lets it decide whether a kept connection serves the next request, and has it name the
// request in the access log; it holds no choice of road of its own.
//
//   straight   a connection to the origin itself; the request in origin form
//   upstream   a connection to the HTTP proxy in use; the request in absolute form, with
//              the proxy's login when it has one
//   socks      a connection to the SOCKS proxy in use, which connects on to the origin by
//              its name; the request in origin form, as to the origin itself
//   inspected  TLS to the site, verified for the name the client asked for, over a
//              connection straight to it, through the HTTP proxy's CONNECT or through the
//              SOCKS proxy's connect
//
// A CONNECT tunnel takes the straight, the upstream or the socks road to its target.
#pragma once

#include "engine/connect_request.h"
#include "engine/connection_state.h"
#include "engine/handler_step.h"
#include "engine/request_state.h"

namespace korvanel {

struct Runtime;

class OriginRoute {
  public:
    enum class Kind { kStraight, kUpstream, kSocks, kInspected };

    // The road of a request on connection `c` with `settings`.
    static OriginRoute ForRequest(const ConnectionState& c, const RequestSettings& settings);
    // The road of a CONNECT tunnel with `settings`.
    static OriginRoute ForTunnel(const RequestSettings& settings);

    Kind kind() const { return kind_; }

    // Where the connection goes, into r.host and r.port: the origin the request line names
    // (the line then in origin form), or the upstream proxy (the line kept as it is).
    StepResult ChooseTarget(Runtime& rt, RequestState& r) const;
    // The same for a tunnel to `target`. False with the reason in r.error.
    bool ChooseTunnelTarget(Runtime& rt, RequestState& r, const ConnectTarget& target) const;

    // A connection to the chosen target into c.upstream: the kept one where the road allows
    // it and it is still good, else a new one.
    RouteOpen Open(Runtime& rt, ConnectionState& c, RequestState& r) const;
    // A new connection after the last one was dropped before the answer.
    RouteOpen Reopen(Runtime& rt, ConnectionState& c, RequestState& r) const;

    // Puts the HTTP proxy's login into the request's head (on the upstream road, when the
    // proxy has one). False when it does not fit.
    bool PutLogin(RequestState& r) const;

    // After a whole answer on a kept client connection: true when the origin connection
    // serves the next request.
    bool KeepsOrigin(const ConnectionState& c) const;

    // The request line as the access log names it (an inspected request by its https://
    // URL; the line itself is not needed any more).
    void NameForLog(const ConnectionState& c, RequestState& r) const;

  private:
    explicit OriginRoute(Kind kind) : kind_(kind) {}

    Kind kind_;
};

}  // namespace korvanel
