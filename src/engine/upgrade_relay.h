// After a "101 Switching Protocols" answer the connection carries another protocol
// (WebSocket, say): bytes go both ways unchanged until both sides have closed, an end on
// one side passed on as a half-close to the other, within the relay's idle limit. Works
// the same over plain sockets and inspected TLS.
#pragma once

#include "engine/handler_step.h"
#include "engine/request_state.h"
#include "platform/socket.h"

namespace korvanel {

struct Runtime;

// The answer head went to the client already; what came behind it (in r.head_body) is the
// first of the new protocol; r.head serves as the relay's buffer. Never kKeepAlive.
Ending RelayUpgraded(Runtime& rt, Socket& client, Socket& upstream, RequestState& r);

}  // namespace korvanel
