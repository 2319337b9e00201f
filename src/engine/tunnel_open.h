// Opening a CONNECT tunnel on a handler's connection: the port check, the connection
// straight to the target or through the upstream proxy in use (with a CONNECT of its own),
// the answer to the client, and the hand-over of both sockets to the tunnel relay.
//
// Failures answer as the client can read them: a port not in the list 403, a target or
// proxy that cannot be reached 502, both with the error page; an upstream proxy's refusal
// goes on to the client as it came, body included.
#pragma once

#include "engine/connect_request.h"
#include "engine/connection_state.h"
#include "engine/handler_step.h"
#include "engine/request_state.h"

namespace korvanel {

struct Runtime;

// The request head is split (request line and header block). Never kKeepAlive: a
// connection that asked for a tunnel ends with it, unless it is inspected (kInspected).
Ending OpenTunnel(Runtime& rt, ConnectionState& c, RequestState& r, const ConnectTarget& target);

}  // namespace korvanel
