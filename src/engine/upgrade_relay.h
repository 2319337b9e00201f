// After a "101 Switching Protocols" answer the connection carries another protocol
// (WebSocket, say): bytes go both ways unchanged until both sides have closed, an end on
// one side passed on as a half-close to the other, within the relay's idle limit. Works
// the same over plain sockets and inspected TLS.
#pragma once

namespace korvanel {

struct Runtime;
struct HandlerState;
enum class Ending;

// The answer head went to the client already; what came behind it is the first of the new
// protocol. Never kKeepAlive.
Ending RelayUpgraded(Runtime& rt, HandlerState& s);

}  // namespace korvanel
