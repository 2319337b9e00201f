// Shutting a connection down in both directions before it is closed.
#pragma once

#include "platform/socket.h"

namespace korvanel {

// Shuts `socket` down for sending and receiving; a no-op on an invalid socket.
void ShutdownBoth(Socket& socket);

}  // namespace korvanel
