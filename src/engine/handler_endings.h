// How a connection handler finishes a request: the access-log line, the connection
// counters, the error page and the closing of its sockets.
#pragma once

#include "engine/handler_state.h"

namespace korvanel {

struct Runtime;

// The request was answered and the connection stays for the next one.
void FinishKeptRequest(Runtime& rt, HandlerState& s);

// Ends the connection the way `ending` says (never kKeepAlive).
void EndConnection(Runtime& rt, HandlerState& s, Ending ending);

}  // namespace korvanel
