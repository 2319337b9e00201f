// How long a TLS handshake may take and how it ended: shared by the handshake driver and the
// inspector that runs it for a handler.
#pragma once

namespace korvanel {

// How long a handshake may take, and how a handler's stop reaches it: `stopping` (may be
// null) is asked between steps of `step_ms`.
struct HandshakeWait {
    int timeout_ms = 10000;
    int step_ms = 250;
    bool (*stopping)(void* context) = nullptr;
    void* context = nullptr;
};

enum class HandshakeEnd {
    kDone,     // the layer is on the socket
    kFailed,   // `reason` says why (for the user: Japanese, one line)
    kTimeout,  // the peer did not finish in time
    kStopped,  // `stopping` said so, or the socket was revoked
};

}  // namespace korvanel
