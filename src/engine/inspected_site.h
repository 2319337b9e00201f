// The site an inspected connection belongs to, set once the client's TLS was taken.
#pragma once

#include <memory>

#include "engine/message_buffers.h"
#include "engine/upstream.h"
#include "runtime/upstream_kind.h"
#include "tls/inspector.h"

namespace korvanel {

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
    UpstreamKind proxy_kind = UpstreamKind::kHttp;

    bool active() const { return inspector != nullptr; }
};

}  // namespace korvanel
