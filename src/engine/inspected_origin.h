// The origin side of an inspected connection: each request's origin connection is TLS of its
// own (straight, or through the upstream proxy in use with a CONNECT), verified for the name
// the client asked for; an origin that does not verify never sees the request. A connection
// left whole and in step serves the next request of the same site.
#pragma once

#include <string_view>

#include "engine/connection_state.h"
#include "engine/handler_step.h"
#include "engine/request_state.h"
#include "tls/inspector.h"

namespace korvanel {

struct Runtime;

// A handshake's wait in the connect steps, ended by a stop.
HandshakeWait HandshakeWaitOf(Runtime& rt, int timeout_ms);

// The origin connection of the last request, when it can take the next one (through the
// same proxy, or straight as before): true, and c.upstream is used as it is.
bool ReuseOrigin(ConnectionState& c, RequestState& r);

// The origin connection of an inspected request into c.upstream, verified. On a failure
// (the proxy or the origin's TLS said no, or neither could be reached) the reason is in
// r.error.
RouteOpen OpenOrigin(Runtime& rt, ConnectionState& c, RequestState& r);

// The access log's request line of an inspected request: "GET https://host/path HTTP/1.1"
// (the port named when it is not 443). `line` unchanged when it is not in origin form.
void ToLoggedForm(const InspectedSite& site, std::string_view terminator, StartLine& line);

}  // namespace korvanel
