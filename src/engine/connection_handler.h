// One connection handler thread per accepted client: from the access check to the close,
// through every keep-alive request of the connection.
//
// The road of one request: read the request head, split and normalise it, choose the
// target (origin server or upstream proxy), connect, rewrite the request head, send it
// with the body, read the answer head, rewrite it, send it, relay the answer body, log the
// exchange; then the next request on the same connection, or one of the endings:
//   normal   nothing more is sent; both sockets close;
//   error    the error page with the reason, when no answer has started; access line "E";
//   quiet    nothing is sent; access line "e";
//   refused  nothing is sent; access line "E"; the client was never served.
#pragma once

#include "engine/client_slot.h"

namespace korvanel {

struct Runtime;

void RunConnectionHandler(Runtime& rt, ClientSlot slot);

}  // namespace korvanel
