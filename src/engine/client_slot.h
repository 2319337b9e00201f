// The record the accept thread hands to one connection handler. The handler takes it by
// value (moving the socket out of the accept thread), so the accept thread keeps nothing
// of a connection once it is handed on.
#pragma once

#include "platform/socket.h"

namespace korvanel {

class TunnelLoop;

struct ClientSlot {
    Socket socket;              // the accepted client socket, registered, non-blocking
    int peer_family = 0;        // the peer's address family as the accept call reported it
    int last_accept_error = 0;  // errno of the most recent failed accept on this thread
    // The running server's tunnel relay; it outlives every handler the server starts.
    TunnelLoop* tunnels = nullptr;
};

}  // namespace korvanel
