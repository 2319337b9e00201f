// Opening a CONNECT tunnel on a handler's connection: the port check, the connection
// straight to the target or through the upstream proxy in use (with a CONNECT of its own),
// the answer to the client, and the hand-over of both sockets to the tunnel relay.
//
// Failures answer as the client can read them: a port not in the list 403, a target or
// proxy that cannot be reached 502, both with the error page; an upstream proxy's refusal
// goes on to the client as it came, body included.
#pragma once

#include "engine/connect_request.h"
#include "engine/handler_state.h"

namespace korvanel {

struct Runtime;

// The request head is split (request line and header block). Never kKeepAlive: a
// connection that asked for a tunnel ends with it, unless it is inspected (kInspected).
Ending OpenTunnel(Runtime& rt, HandlerState& s, const ConnectTarget& target);

// Tells the client that its tunnel stands ("200 Connection established"), with the header
// logs' entries. False, with the reason in s.error, when the client did not take it.
bool AnswerEstablished(Runtime& rt, HandlerState& s);

}  // namespace korvanel
