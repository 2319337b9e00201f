// The proxy checker's own HTTP/1.0 client transport: connect, send, receive the answer
// head and the body. Every wait is cut into slices; between slices (and before every
// transfer) the run's stop flag is looked at, so a stop is noticed within a slice or two.
#pragma once

#include <cstddef>

#include "checker/check_limits.h"
#include "platform/fixed_text.h"
#include "platform/socket.h"

namespace korvanel {

struct Runtime;

// What every transfer of one run needs: the runtime (stop flag and locks), the run's own
// socket registry (the checker's sockets are never part of the server's clean-up) and
// the wait limits.
struct CheckContext {
    Runtime& rt;
    SocketRegistry& sockets;
    const CheckLimits& limits;
};

// Results of the transfers (byte counts are >= 0).
inline constexpr long kCheckFailed = -1;
inline constexpr long kCheckTimedOut = -2;
inline constexpr long kCheckStopped = -9;

// CheckConnect results.
inline constexpr int kConnected = 1;
inline constexpr int kCheckConnectFailed = -1;
inline constexpr int kCheckConnectClosed = -2;  // the peer closed while connecting

// True when the run's stop flag is set; takes the settings lock, then the checker lock.
bool CheckStopRequested(Runtime& rt);
// The zero-length sleep that follows every look at the stop flag.
void YieldProcessor();

using NumericHost = FixedText<kNumericHostCapacity>;

// Connects to `host`:`port` (IPv4). On kConnected `socket` is connected and non-blocking
// and `numeric_host` holds the address connected to; on any failure the socket is closed.
int CheckConnect(CheckContext& context, const char* host, const char* port, Socket& socket,
                 NumericHost& numeric_host);

// Sends all of `data`. Gives the bytes sent, 0 when a wait failed, or kCheckFailed,
// kCheckTimedOut (also when the socket is no longer usable) or kCheckStopped.
long CheckSendAll(CheckContext& context, Socket& socket, const char* data, std::size_t length);

// The answer head as received: everything up to and including the read that brought the
// empty line, NUL-terminated.
struct CheckHead {
    char data[kCheckHeadBufferSize + 1];
    long length = 0;
    FixedText<11> terminator;  // "\r\n\r\n", "\n\n" or "\r\r"
};

// Receives until the text holds an empty line. Gives the byte count (terminator set), 0
// when a wait failed, or kCheckFailed (closed before the empty line, or more than 2000
// bytes without any line end), kCheckTimedOut (the slices ran out, the buffer is full, or
// the socket is no longer usable) or kCheckStopped.
long CheckReceiveHead(CheckContext& context, Socket& socket, CheckHead& head);

// Receives exactly `wanted` bytes into `destination` (room for wanted + 1). Gives the
// count; when the peer closes first (or a wait fails) the count so far with
// `connection_ended` set. Else kCheckFailed, kCheckTimedOut or kCheckStopped. The bytes are
// NUL-terminated.
long CheckReceiveBody(CheckContext& context, Socket& socket, char* destination, long wanted,
                      bool& connection_ended);

}  // namespace korvanel
