// HTTPS inspection on a handler's connection, the client's side: the tunnel the client asked
// for is answered, its TLS handshake taken with a certificate made for the host, and the
// connection goes on as a row of ordinary requests inside TLS (their origin side is the
// inspected road's, see inspected_origin.h).
#pragma once

#include <string_view>

#include "engine/connect_request.h"
#include "engine/connection_state.h"
#include "engine/handler_step.h"
#include "engine/request_state.h"

namespace korvanel {

struct Runtime;

// True when inspection is on and no pattern of the list leaves `host` alone.
bool ShouldInspect(Runtime& rt, const RequestSettings& settings, std::string_view host);

// The tunnel's answer to the client and its TLS handshake. kInspected: the connection goes
// on with the requests inside TLS.
Ending StartInspection(Runtime& rt, ConnectionState& c, RequestState& r,
                       const ConnectTarget& target);

}  // namespace korvanel
