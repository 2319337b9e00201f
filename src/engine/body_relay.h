// The body relays: one for the request body, six for the answer body by its framing
// (length, chunked, until close) and by whether it passes the HTML tag filter.
//
// Relays read with ReceiveSome and write with SendAll in pieces of at most 4094 bytes
// (4096 for the relay until close). Chunked bodies are decoded and sent on as chunks of
// the proxy's own, at most 4094 bytes each with lower-case hexadecimal sizes. Every byte
// received from the server is added to the received total as it arrives.
//
// Answer relay results: 1 body complete; 0 the server closed after a piece was forwarded
// (the connection then ends normally); -1 failure with the reason in `error`; -9 a
// socket is no longer a socket. The answer head has already gone to the client, so the
// reason only marks the access-log line.
#pragma once

#include <cstddef>

#include "engine/error_text.h"
#include "engine/head_scan.h"
#include "engine/tag_filter_step.h"

namespace korvanel {

struct Runtime;
class Socket;

inline constexpr long kRelayPiece = 4094;
inline constexpr long kUntilClosePiece = 4096;
// The handler's relay buffers (head buffer, head-body buffer) are this large.
inline constexpr std::size_t kRelayBufferSize = 15000;
// A chunk-size line longer than this is refused.
inline constexpr std::size_t kMaxChunkSizeLine = 100;

// Relays `remaining` more request-body bytes from the client to the server, counting
// down `remaining` in place. 1 when all arrived and went on; -1 ("Clientから受信の際に
// エラー" when the client closed early, "ソケットエラー" when the server did not take
// them); -9.
// `server_failed` (when given) is set when the failure was the server's: it stopped taking
// the body, perhaps because it has already answered.
int RelayRequestBody(Runtime& rt, Socket& client, Socket& upstream, char* buffer,
                     long long& remaining, ErrorText& error, bool* server_failed = nullptr);

// The first `head_body_count` bytes of `buffer` came with the head; then `remaining`
// more bytes are relayed from the server (counted down in place).
int RelayLength(Runtime& rt, Socket& client, Socket& upstream, char* buffer, long head_body_count,
                long long& remaining, ErrorText& error);

// The first `head_body_count` bytes of `buffer` came with the head; then everything until
// the server closes. 1 when the server closed at a piece boundary, 0 when within a piece.
int RelayUntilClose(Runtime& rt, Socket& client, Socket& upstream, char* buffer,
                    long head_body_count, ErrorText& error);

// Decodes the chunked body whose first `head_body_count` bytes are in `buffer` and sends
// it on re-chunked, ending with "0" and the answer's terminator. The chunk lines use the
// line end of `terminator`. A trailer after the last chunk is not read.
int RelayChunked(Runtime& rt, Socket& upstream, Socket& client, char* buffer, long head_body_count,
                 const Terminator& terminator, ErrorText& error);

// The filtering relays' own buffers: the text held back until its last tag is complete,
// and the filtered text to send.
struct FilterBuffers {
    FilterCarry carry;
    FilterOutput output;
};

// An HTML answer whose whole body came with the head: filtered and sent. 1 (also for an
// empty body), or -1 with "クライアントに送信の際にエラー" or the filter's own text.
int FilterWholeBody(Runtime& rt, Socket& client, std::string_view head_body, FilterBuffers& filter,
                    ErrorText& error);

// An HTML answer, not chunked, with `remaining` more bytes to come, or without a length
// (`remaining` -1: until the server closes). The first `head_body_count` bytes of `buffer`
// came with the head. 1 when the length was reached; -1 when the server closed at a piece
// boundary (the normal end without a length; no text is set) or on a failure (text set);
// 0 when it closed inside a piece. Text held back for a tag is always sent before the
// relay ends.
int RelayFiltered(Runtime& rt, Socket& client, Socket& upstream, char* buffer, long head_body_count,
                  long long& remaining, FilterBuffers& filter, ErrorText& error);

// A chunked HTML answer: decoded, filtered, and sent on re-chunked like RelayChunked.
int RelayChunkedFiltered(Runtime& rt, Socket& upstream, Socket& client, char* buffer,
                         long head_body_count, const Terminator& terminator, FilterBuffers& filter,
                         ErrorText& error);

// A chunked request body from the client, re-chunked to the server like RelayChunked. The
// first `head_body_count` bytes of `buffer` came with the request head. Results as the
// answer relays' (0: the client left inside a chunk).
int RelayChunkedRequestBody(Runtime& rt, Socket& client, Socket& upstream, char* buffer,
                            long head_body_count, const Terminator& terminator, ErrorText& error);

// The size on a chunk-size line (the line without its line end): the first token
// (tokens are separated by blanks, '[', CR and LF) read as hexadecimal, optionally
// followed by a chunk extension (";name=value"). -1 when the token is missing, not
// hexadecimal or too large.
long long ParseChunkSize(std::string_view line);

}  // namespace korvanel
