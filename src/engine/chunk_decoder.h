// The decoding half of the chunked relays: reads chunk-size lines and chunk data from the
// server and hands every decoded piece of data to a sink, which sends it on (as it is, or
// through the tag filter).
#pragma once

#include <string_view>

#include "engine/body_relay.h"
#include "engine/socket_io.h"

namespace korvanel {

class ChunkSink {
  public:
    virtual ~ChunkSink() = default;
    // One piece of decoded data (any length); kComplete when it went on, else kFailed with
    // the reason in the error text, or kRevoked.
    virtual RelayResult Piece(char* data, long length) = 0;
    // The last chunk arrived; runs before the final "0" and terminator are sent.
    virtual RelayResult Finish() = 0;
};

struct ChunkDecoderInput {
    Runtime& rt;
    Socket& upstream;  // the side the chunks come from
    Socket& client;    // the side they go to
    char* buffer;      // kRelayBufferSize bytes; starts with the bytes that came with the head
    long buffered;
    const Terminator& terminator;
    ErrorText& error;
    // Refuse a run of this many line-end characters where a size line is expected
    // ("chunk error"); 0 leaves such runs to the size-line rules.
    int line_end_run_limit = 0;
    // Bytes read count toward the received total (an answer), or the sent total (a
    // request body read from the client).
    bool from_server = true;
    // How the decoder waits for more bytes (see ReceiveSome).
    RelayWait wait;
};

// Runs the whole body through `sink`, then sends "0" and the terminator. Results as the
// answer relays'.
RelayResult DecodeChunks(ChunkDecoderInput& in, ChunkSink& sink);

// Sends `data` as chunks of at most kRelayPiece bytes: "%x", line end, data, line end.
// kComplete, or kFailed with "クライアントに送信の際にエラー" in `error`, or kRevoked.
RelayResult SendAsChunks(Runtime& rt, Socket& client, const char* data, long length,
                         std::string_view line_end, ErrorText& error);

}  // namespace korvanel
