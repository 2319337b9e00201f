// HTTPS inspection on a handler's connection: the tunnel the client asked for is answered,
// its TLS handshake taken with a certificate made for the host, and the connection goes on
// as a row of ordinary requests inside TLS. Each request's origin connection is TLS of its
// own (straight, or through the upstream proxy in use with a CONNECT), verified for the name
// the client asked for; an origin that does not verify never sees the request.
#pragma once

#include <memory>
#include <string_view>

#include "engine/connect_request.h"
#include "engine/message_buffers.h"
#include "engine/upstream.h"
#include "tls/inspector.h"

namespace korvanel {

struct Runtime;
struct HandlerState;
enum class Ending;

// The site an inspected connection belongs to.
struct InspectedSite {
    std::shared_ptr<Inspector> inspector;  // null: the connection is not inspected
    TargetHost host;                       // where origin connections go (the CONNECT host)
    TargetPort port;
    // The name the client's certificate was made for: the origin must prove it.
    FixedText<256> name;
    // The origin connection's numeric address and the proxy it went through (empty:
    // straight), for a reuse.
    NumericAddress numeric_address;
    FixedText<255> proxy;

    bool active() const { return inspector != nullptr; }
};

// True when inspection is on and no pattern of the list leaves `host` alone.
bool ShouldInspect(Runtime& rt, const HandlerState& s, std::string_view host);

// The tunnel's answer to the client and its TLS handshake. kInspected: the connection goes
// on with the requests inside TLS.
Ending StartInspection(Runtime& rt, HandlerState& s, const ConnectTarget& target);

// The origin connection of the last request, when it can take the next one (through the
// same proxy, or straight as before): true, and s.upstream is used as it is.
bool ReuseOrigin(HandlerState& s);

// The origin connection of an inspected request into s.upstream, verified. kUpstreamConnected,
// else a failure with the reason in s.error (kUpstreamSelf and kUpstreamFailed as
// ConnectUpstream's; kUpstreamRefused when the proxy or the origin's TLS said no).
int OpenOrigin(Runtime& rt, HandlerState& s);
inline constexpr int kUpstreamRefused = -4;

// The access log's request line of an inspected request: "GET https://host/path HTTP/1.1"
// (the port named when it is not 443). `line` unchanged when it is not in origin form.
void ToLoggedForm(const InspectedSite& site, std::string_view terminator, StartLine& line);

}  // namespace korvanel
