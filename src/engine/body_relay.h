// The body relays: one for the request body, six for the answer body by its framing
// (length, chunked, until close) and by whether it passes the HTML tag filter.
//
// Relays read with ReceiveSome and write with SendAll in pieces of at most 4094 bytes
// (4096 for the relay until close). Chunked bodies are decoded and sent on as chunks of
// the proxy's own, at most 4094 bytes each with lower-case hexadecimal sizes. Every byte
// received from the server is added to the received total as it arrives.
//
// An answer relay runs after the answer head has gone to the client, so a failure's reason
// only marks the access-log line.
#pragma once

#include <cstddef>

#include "engine/error_text.h"
#include "engine/head_scan.h"
#include "engine/socket_io.h"
#include "engine/tag_filter_step.h"

namespace korvanel {

struct Runtime;
class Socket;

// How a relay (or one step of it) ended. The values are the engine's small integers.
enum class RelayResult : int {
    kComplete = 1,       // the whole body (or the step's piece) went on
    kClosedInPiece = 0,  // the peer closed inside a piece after what came went on: the body
                         // is cut short, and the connection then ends normally
    kFailed = -1,        // failed, with the reason in the error text
    kRevoked = -9,       // a socket is no longer a socket (a stop revoked it); no text
};

// For a relay that its RelayWait cut (`end` kIdle or kWatchedGone): sets the reason in
// `error` and gives kFailed.
RelayResult FailCutRelay(Runtime& rt, ReceiveEnd end, ErrorText& error);

inline constexpr long kRelayPiece = 4094;
inline constexpr long kUntilClosePiece = 4096;
// The handler's relay buffers (head buffer, head-body buffer) are this large.
inline constexpr std::size_t kRelayBufferSize = 15000;
// A chunk-size line longer than this is refused.
inline constexpr std::size_t kMaxChunkSizeLine = 100;

// Relays `remaining` more request-body bytes from the client to the server, counting
// down `remaining` in place. kComplete when all arrived and went on; kFailed
// ("Clientから受信の際にエラー" when the client closed early, "ソケットエラー" when the
// server did not take them); kRevoked.
// `server_failed` (when given) is set when the failure was the server's: it stopped taking
// the body, perhaps because it has already answered.
RelayResult RelayRequestBody(Runtime& rt, Socket& client, Socket& upstream, char* buffer,
                             long long& remaining, ErrorText& error, bool* server_failed = nullptr);

// The first `head_body_count` bytes of `buffer` came with the head; then `remaining`
// more bytes are relayed from the server (counted down in place).
RelayResult RelayLength(Runtime& rt, Socket& client, Socket& upstream, char* buffer,
                        long head_body_count, long long& remaining, ErrorText& error);

// The first `head_body_count` bytes of `buffer` came with the head; then everything until
// the server closes. kComplete when the server closed at a piece boundary, kClosedInPiece
// when within a piece.
RelayResult RelayUntilClose(Runtime& rt, Socket& client, Socket& upstream, char* buffer,
                            long head_body_count, ErrorText& error);

// Decodes the chunked body whose first `head_body_count` bytes are in `buffer` and sends
// it on re-chunked, ending with "0" and the answer's terminator. The chunk lines use the
// line end of `terminator`. A trailer after the last chunk is not read.
RelayResult RelayChunked(Runtime& rt, Socket& upstream, Socket& client, char* buffer,
                         long head_body_count, const Terminator& terminator, ErrorText& error);

// The filtering relays' own buffers: the text held back until its last tag is complete,
// and the filtered text to send.
struct FilterBuffers {
    FilterCarry carry;
    FilterOutput output;
};

// An HTML answer whose whole body came with the head: filtered and sent. kComplete (also for
// an empty body), or kFailed with "クライアントに送信の際にエラー" or the filter's own text.
RelayResult FilterWholeBody(Runtime& rt, Socket& client, std::string_view head_body,
                            FilterBuffers& filter, ErrorText& error);

// An HTML answer, not chunked, with `remaining` more bytes to come, or without a length
// (`remaining` -1: until the server closes). The first `head_body_count` bytes of `buffer`
// came with the head. kComplete when the length was reached; kFailed when the server
// closed at a piece boundary (the normal end without a length; no text is set) or on a
// failure (text set); kClosedInPiece when it closed inside a piece. Text held back for a
// tag is always sent before the relay ends.
RelayResult RelayFiltered(Runtime& rt, Socket& client, Socket& upstream, char* buffer,
                          long head_body_count, long long& remaining, FilterBuffers& filter,
                          ErrorText& error);

// A chunked HTML answer: decoded, filtered, and sent on re-chunked like RelayChunked.
RelayResult RelayChunkedFiltered(Runtime& rt, Socket& upstream, Socket& client, char* buffer,
                                 long head_body_count, const Terminator& terminator,
                                 FilterBuffers& filter, ErrorText& error);

// A chunked request body from the client, re-chunked to the server like RelayChunked. The
// first `head_body_count` bytes of `buffer` came with the request head. Results as the
// answer relays' (kClosedInPiece: the client left inside a chunk).
RelayResult RelayChunkedRequestBody(Runtime& rt, Socket& client, Socket& upstream, char* buffer,
                                    long head_body_count, const Terminator& terminator,
                                    ErrorText& error);

// The size on a chunk-size line (the line without its line end): the first token
// (tokens are separated by blanks, '[', CR and LF) read as hexadecimal, optionally
// followed by a chunk extension (";name=value"). -1 when the token is missing, not
// hexadecimal or too large.
long long ParseChunkSize(std::string_view line);

}  // namespace korvanel
