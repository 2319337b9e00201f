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
#include "platform/fixed_text.h"

namespace korvanel {

struct Runtime;
class Socket;
class SplicePipe;

// Results in the engine's small integers.
inline constexpr int kIoDone = 1;
inline constexpr int kIoNothing = 0;  // time-out, stop, or nothing more
inline constexpr int kIoFailed = -1;
inline constexpr int kIoRefused = -2;  // head too long or not HTTP (head reader only)
inline constexpr int kIoNotSocket = -9;

// The receive status: ReceiveSome writes a "disconnectN" code into it when the peer has
// gone (see ReceiveSome); callers stop relaying once it begins with "disconnect".
using StatusText = FixedText<16>;
bool IsDisconnect(const StatusText& status);

// Reads one head into `buffer` (kHeadBufferSize bytes). Returns a byte count (> 0) with
// `terminator` set, 0 on time-out, -1 when the peer closed or failed first, -2 when the
// head is too long or not HTTP, -9 when the socket is no longer a socket.
// The first `already` bytes of `buffer` were received before (they are judged first).
// `received`, when given, is left holding the bytes in `buffer` (those included) whatever
// the result. `connect_allowed`: a head may begin with "CONNECT " (tunnels are on).
long ReadHeadBytes(Socket& socket, char* buffer, Terminator& terminator, int timeout_ms,
                   long already = 0, long* received = nullptr, bool connect_allowed = false);

// The head reader as the connection handler calls it: 1 with `count` set; -1 with the
// reason in `error` ("Client..." texts when `side` is "client", else the server's); -9
// without a text. A head that does not complete within `timeout_ms` gives 0 with the text
// "タイムアウト" and `count` set to the bytes that had arrived, so that a caller can tell a
// peer that sent nothing from one that stopped part-way, and a slow peer from one that left.
int ReadHead(Runtime& rt, Socket& socket, char* buffer, long& count, Terminator& terminator,
             ErrorText& error, std::string_view side, int timeout_ms, long already = 0,
             bool connect_allowed = false);

// Receives until `wanted` bytes have arrived or the peer has closed, so that a short count
// always means the peer is gone. `buffer` must hold wanted + 1 bytes; the data is
// NUL-terminated. Returns the count (>= 0) or -9. Status codes: "disconnect0" not a
// socket, "disconnect1" receive error, "disconnect4" wait failed, "disconnect7" peer
// closed, "disconnect8" nothing at all was received; untouched when `wanted` arrived.
//
// With a RelayWait, each wait for more bytes ends after `idle_ms` without any, and ends at
// once when the peer of `watched` is gone; both give -1 ("disconnect5" idle, "disconnect6"
// watched peer gone) and mark `socket` broken: the relay was cut, it did not end in order.
struct RelayWait {
    int idle_ms = -1;  // < 0: without limit
    Socket* watched = nullptr;
};
long ReceiveSome(Socket& socket, char* buffer, long wanted, StatusText& status,
                 const RelayWait& wait = RelayWait{});

// The wait of an answer relay (source: the server) watches the client; the wait of a
// request-body relay (source: the client) has only the idle limit.
RelayWait AnswerRelayWait(Runtime& rt, Socket& client);
RelayWait BodyRelayWait(Runtime& rt);

// 1 when everything was sent (also for length <= 0), 0 on time-out, stop, or a send that
// moved nothing, -1 on a send error, -9 when the socket is no longer a socket.
int SendAll(Runtime& rt, Socket& socket, const char* data, long length);

// For the first transmission of a request: the count sent (> 0) when everything went, 0
// on any failure or for length <= 0, -9 when the socket is no longer a socket.
long SendCounted(Runtime& rt, Socket& socket, const char* data, long length);

// The same for a few pieces sent one after the other (empty ones skipped), handed to the
// socket together so that a message head and what follows it go out in one system call.
// At most Socket::kMaxSendPieces pieces.
using SendPieces = std::initializer_list<std::string_view>;
int SendAll(Runtime& rt, Socket& socket, SendPieces pieces);
long SendCounted(Runtime& rt, Socket& socket, SendPieces pieces);

// Moves bytes from `from` to `to` through `pipe` without copying them into user memory:
// `limit` bytes, or (limit < 0) everything until `from` closes. `moved` counts what went
// on; every byte is added to the received total as it arrives. Sends wait as SendAll's.
// kLimit: `limit` reached; kClosed: `from` closed or failed first; kNotSocket: `from` was
// revoked by a stop; kSendFailed: `to` did not take the bytes (error, time-out or stop);
// kCut: `wait` ended the relay (its code in `cut`, as ReceiveSome's).
enum class SpliceEnd { kLimit, kClosed, kNotSocket, kSendFailed, kCut };
inline constexpr long long kSpliceStep = 1 << 20;
SpliceEnd SpliceRelay(Runtime& rt, Socket& from, Socket& to, SplicePipe& pipe, long long limit,
                      long long& moved, const RelayWait& wait = RelayWait{},
                      StatusText* cut = nullptr);

}  // namespace korvanel
