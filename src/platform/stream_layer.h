// A layer a socket's bytes pass through (TLS): the socket's users read and write plain bytes
// and do not know whether the wire carries them as they are.
//
// The socket owns its layer and destroys it on close; the layer never closes the
// descriptor. Calls come from the socket's one owner thread, never two at once.
#pragma once

#include <cstddef>
#include <string_view>

#include "platform/io_result.h"

namespace korvanel {

class StreamLayer {
  public:
    virtual ~StreamLayer() = default;

    // One non-blocking receive / send through the layer on `fd`, with the socket's results:
    // kPeerClosed for the end of the layer's stream (or the descriptor's), kWouldBlock when
    // the layer waits for the socket (see WantsWritable), kError with `error` as errno or
    // 0 for a failure inside the layer.
    virtual IoResult Receive(int fd, char* buffer, std::size_t length) = 0;
    virtual IoResult Send(int fd, const char* data, std::size_t length) = 0;
    // Sends from the first of `count` pieces on, in order, as one unit where the layer can
    // (one record rather than one per piece); moves at least one byte when it moves any. A
    // call repeated after kWouldBlock must pass the same pieces.
    virtual IoResult SendPieces(int fd, const std::string_view* pieces, int count) {
        for (int i = 0; i < count; ++i) {
            if (!pieces[i].empty()) return Send(fd, pieces[i].data(), pieces[i].size());
        }
        return {0, IoStatus::kOk, 0};
    }

    // True when plain bytes were taken off the socket already and wait to be received: a
    // wait for readability must not sleep on the socket then.
    virtual bool HasPending() const = 0;
    // True when the last call that would block waits for the socket to take bytes, not to
    // bring them (a receive that must answer the peer first).
    virtual bool WantsWritable() const = 0;

    // Ends the sending direction inside the layer, best effort and without waiting.
    virtual void EndSending(int fd) = 0;
};

}  // namespace korvanel
