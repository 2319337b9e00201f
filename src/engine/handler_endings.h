// How a connection handler finishes a request: the access-log line, the connection
// counters, the error page and the closing of its sockets.
#pragma once

#include "engine/connection_state.h"
#include "engine/handler_step.h"
#include "engine/request_state.h"

namespace korvanel {

struct Runtime;

// The request was answered and the connection stays for the next one.
void FinishKeptRequest(Runtime& rt, ConnectionState& c, RequestState& r);

// Ends the connection the way `ending` says (never kKeepAlive).
void EndConnection(Runtime& rt, ConnectionState& c, RequestState& r, Ending ending);

}  // namespace korvanel
