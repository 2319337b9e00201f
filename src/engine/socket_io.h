// The four primitives through which all proxy traffic passes: read an HTTP message head,
// receive up to a given count, send a whole buffer, send a buffer while counting.
//
// Receives wait without limit (the head reader excepted: its time-out is a real limit);
// they end when data arrives, when the peer closes, or when a stop revokes the socket.
// Sends wait in short steps and give up when the peer stops reading for about 18 s or a
// stop is requested. No primitive allocates: every buffer is the caller's.
#pragma once

#include <initializer_list>
#include <string_view>

#include "engine/error_text.h"
#include "engine/head_scan.h"

namespace korvanel {

struct Runtime;
class Socket;
class SplicePipe;

// What a head read or a send gave.
//   kDone      the head is whole; everything was sent
//   kNothing   a time-out, a stop, or a send that moved nothing
//   kFailed    the peer closed or failed first
//   kRefused   the head is too long or not HTTP (the head reader only)
//   kNotSocket a stop revoked the socket
enum class IoEnd { kDone, kNothing, kFailed, kRefused, kNotSocket };

// Why ReceiveSome stopped short of what was wanted (kWhole: it did not).
enum class ReceiveEnd {
    kWhole,
    kNotSocket,    // a stop revoked the socket
    kFailed,       // a receive error
    kWaitFailed,   // the wait for more bytes failed
    kIdle,         // a RelayWait's idle limit passed without a byte
    kWatchedGone,  // a RelayWait's watched peer is gone
    kPeerClosed,
    kNothing,  // the peer closed or failed before a single byte
};

// True when the relay was cut by its RelayWait rather than ended by its source.
inline bool WasCut(ReceiveEnd end) {
    return end == ReceiveEnd::kIdle || end == ReceiveEnd::kWatchedGone;
}

// Reads one head into `buffer` (kHeadBufferSize bytes); kDone with `terminator` set and the
// head's length in `received`. The first `already` bytes of `buffer` were received before
// (they are judged first). `received` holds the bytes in `buffer` (those included) whatever
// the result. `connect_allowed`: a head may begin with "CONNECT " (tunnels are on).
IoEnd ReadHeadBytes(Socket& socket, char* buffer, Terminator& terminator, int timeout_ms,
                    long& received, long already = 0, bool connect_allowed = false);

// The head reader as the connection handler calls it: kDone with `count` set; kFailed with
// the reason in `error` ("Client..." texts when `side` is "client", else the server's), a
// refused head included; kNotSocket without a text. A head that does not complete within
// `timeout_ms` gives kNothing with the text "タイムアウト" and `count` set to the bytes that
// had arrived, so that a caller can tell a peer that sent nothing from one that stopped
// part-way, and a slow peer from one that left.
IoEnd ReadHead(Runtime& rt, Socket& socket, char* buffer, long& count, Terminator& terminator,
               ErrorText& error, std::string_view side, int timeout_ms, long already = 0,
               bool connect_allowed = false);

// Receives until `wanted` bytes have arrived or the peer has closed, so that a short count
// always means the peer is gone. `buffer` must hold wanted + 1 bytes; the data is
// NUL-terminated. Returns the count (>= 0); `end` says why it is short (kWhole when not).
//
// With a RelayWait, each wait for more bytes ends after `idle_ms` without any, and ends at
// once when the peer of `watched` is gone; both (kIdle, kWatchedGone) mark `socket` broken
// and hand on nothing: the relay was cut, it did not end in order.
struct RelayWait {
    int idle_ms = -1;  // < 0: without limit
    Socket* watched = nullptr;
};
long ReceiveSome(Socket& socket, char* buffer, long wanted, ReceiveEnd& end,
                 const RelayWait& wait = RelayWait{});

// The wait of an answer relay (source: the server) watches the client; the wait of a
// request-body relay (source: the client) has only the idle limit.
RelayWait AnswerRelayWait(Runtime& rt, Socket& client);
RelayWait BodyRelayWait(Runtime& rt);

// kDone when everything was sent (also for length <= 0); kNothing on a time-out, a stop, or
// a send that moved nothing; kFailed on a send error; kNotSocket.
IoEnd SendAll(Runtime& rt, Socket& socket, const char* data, long length);

// For the first transmission of a request: the count sent (> 0) when everything went, 0
// on any failure or for length <= 0.
long SendCounted(Runtime& rt, Socket& socket, const char* data, long length);

// The same for a few pieces sent one after the other (empty ones skipped), handed to the
// socket together so that a message head and what follows it go out in one system call.
// At most Socket::kMaxSendPieces pieces.
using SendPieces = std::initializer_list<std::string_view>;
IoEnd SendAll(Runtime& rt, Socket& socket, SendPieces pieces);
long SendCounted(Runtime& rt, Socket& socket, SendPieces pieces);

// Moves bytes from `from` to `to` through `pipe` without copying them into user memory:
// `limit` bytes, or (limit < 0) everything until `from` closes. `moved` counts what went
// on; every byte is added to the received total as it arrives. Sends wait as SendAll's.
// kLimit: `limit` reached; kClosed: `from` closed or failed first; kNotSocket: `from` was
// revoked by a stop; kSendFailed: `to` did not take the bytes (error, time-out or stop);
// kCut: `wait` ended the relay (why in `cut`, as ReceiveSome's).
enum class SpliceEnd { kLimit, kClosed, kNotSocket, kSendFailed, kCut };
inline constexpr long long kSpliceStep = 1 << 20;
SpliceEnd SpliceRelay(Runtime& rt, Socket& from, Socket& to, SplicePipe& pipe, long long limit,
                      long long& moved, const RelayWait& wait = RelayWait{},
                      ReceiveEnd* cut = nullptr);

}  // namespace korvanel
