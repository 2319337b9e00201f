// What one non-blocking receive or send came to.
#pragma once

namespace korvanel {

enum class IoStatus {
    kOk,          // bytes moved (bytes > 0)
    kWouldBlock,  // nothing now; poll and try again
    kPeerClosed,  // orderly end of stream from the peer (receive only)
    kRevoked,     // the registry cleaned this socket up, or it is not open
    kError,       // any other failure; `error` holds errno
};

struct IoResult {
    long bytes = 0;
    IoStatus status = IoStatus::kOk;
    int error = 0;
};

}  // namespace korvanel
