// The answer that tells a client its tunnel stands ("200 Connection established"), for a
// tunnel relayed as it is and for one whose TLS is taken.
#pragma once

#include "engine/request_state.h"
#include "platform/socket.h"

namespace korvanel {

struct Runtime;

// Sends the answer with the header logs' entries. False, with the reason in r.error, when
// the client did not take it.
bool AnswerEstablished(Runtime& rt, Socket& client, RequestState& r);

}  // namespace korvanel
