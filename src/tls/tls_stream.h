// The TLS layer of an inspected connection: a socket's plain bytes go through an SSL object
// on its descriptor, without blocking and without allocating per call.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "platform/stream_layer.h"
#include "tls/openssl_handles.h"

namespace korvanel {

class TlsStream : public StreamLayer {
  public:
    // Takes an SSL whose handshake is done on the socket's descriptor.
    explicit TlsStream(SslPtr ssl);
    ~TlsStream() override;

    IoResult Receive(int fd, char* buffer, std::size_t length) override;
    IoResult Send(int fd, const char* data, std::size_t length) override;
    // Pieces that fit one record together are copied into one and written as one.
    IoResult SendPieces(int fd, const std::string_view* pieces, int count) override;
    bool HasPending() const override;
    bool WantsWritable() const override { return wants_writable_; }
    void EndSending(int fd) override;

  private:
    // What one SSL_read/SSL_write that moved nothing comes to; `sending` tells the two apart.
    IoResult Failure(int code, bool sending);

    // The largest plain text of one TLS record.
    static constexpr std::size_t kRecordBytes = 16384;

    SslPtr ssl_;
    std::unique_ptr<char[]> gathered_;  // made on the first gathered send
    // The last receive waited for the descriptor: bytes the SSL holds unprocessed are a
    // record's beginning, not something to receive.
    bool starved_ = false;
    bool wants_writable_ = false;
    bool failed_ = false;  // a fatal error: no close_notify may follow
    bool ended_ = false;   // close_notify sent (or tried)
};

// How a TCP end without close_notify reads.
enum class BareEnd {
    // As an end: the browser's side, whose requests HTTP frames itself.
    kEnd,
    // As a failure (the socket is broken): the origin's side, where an answer without a
    // length ends only with close_notify, and a bare end means it was cut short.
    kCut,
};

// Options every SSL of an inspected connection gets: partial writes, a retried write from a
// moved buffer, reads of whatever the descriptor holds (not a record's header first and its
// body then), and `bare_end`.
void SetStreamModes(SSL_CTX* context, BareEnd bare_end);

}  // namespace korvanel
