// One connection handler thread per accepted client.
//
// For now the handler checks the client's address and, when the client is admitted, holds
// the connection as an active first-request connection until the client closes it or the
// server stops; a refused client is closed without an answer.
#pragma once

#include "engine/client_slot.h"

namespace korvanel {

struct Runtime;

void RunConnectionHandler(Runtime& rt, ClientSlot slot);

}  // namespace korvanel
