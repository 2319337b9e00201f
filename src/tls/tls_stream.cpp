#include "tls/tls_stream.h"

#include <openssl/err.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <utility>

namespace korvanel {

void SetStreamModes(SSL_CTX* context, BareEnd bare_end) {
    SSL_CTX_set_mode(context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    SSL_CTX_set_read_ahead(context, 1);
    SSL_CTX_set_options(context, SSL_OP_NO_RENEGOTIATION);
    if (bare_end == BareEnd::kEnd) SSL_CTX_set_options(context, SSL_OP_IGNORE_UNEXPECTED_EOF);
}

TlsStream::TlsStream(SslPtr ssl) : ssl_(std::move(ssl)) {}

TlsStream::~TlsStream() = default;

IoResult TlsStream::Failure(int code, bool sending) {
    int error = errno;
    switch (SSL_get_error(ssl_.get(), code)) {
        case SSL_ERROR_WANT_READ:
            wants_writable_ = false;
            return {0, IoStatus::kWouldBlock, EAGAIN};
        case SSL_ERROR_WANT_WRITE:
            wants_writable_ = true;
            return {0, IoStatus::kWouldBlock, EAGAIN};
        case SSL_ERROR_ZERO_RETURN:
            // close_notify, or (BareEnd::kEnd) the descriptor's end. Without that option a
            // bare end is an SSL_ERROR_SSL failure below.
            if (sending) return {0, IoStatus::kError, EPIPE};
            return {0, IoStatus::kPeerClosed, 0};
        case SSL_ERROR_SYSCALL:
            failed_ = true;
            ERR_clear_error();
            if (error == 0 && !sending) return {0, IoStatus::kPeerClosed, 0};
            return {0, IoStatus::kError, error != 0 ? error : EPIPE};
        default:
            failed_ = true;
            ERR_clear_error();
            return {0, IoStatus::kError, 0};
    }
}

IoResult TlsStream::Receive(int, char* buffer, std::size_t length) {
    if (length == 0) return {0, IoStatus::kOk, 0};
    if (length > INT_MAX) length = INT_MAX;
    ERR_clear_error();
    errno = 0;
    std::size_t got = 0;
    int code = SSL_read_ex(ssl_.get(), buffer, length, &got);
    if (code > 0) {
        wants_writable_ = false;
        starved_ = false;
        return {static_cast<long>(got), IoStatus::kOk, 0};
    }
    IoResult failed = Failure(code, false);
    starved_ = failed.status == IoStatus::kWouldBlock;
    return failed;
}

IoResult TlsStream::Send(int, const char* data, std::size_t length) {
    if (length == 0) return {0, IoStatus::kOk, 0};
    if (failed_) return {0, IoStatus::kError, EPIPE};
    if (length > INT_MAX) length = INT_MAX;
    ERR_clear_error();
    errno = 0;
    std::size_t sent = 0;
    int code = SSL_write_ex(ssl_.get(), data, length, &sent);
    if (code > 0) {
        wants_writable_ = false;
        return {static_cast<long>(sent), IoStatus::kOk, 0};
    }
    return Failure(code, true);
}

IoResult TlsStream::SendPieces(int fd, const std::string_view* pieces, int count) {
    int first = -1;
    int used = 0;
    for (int i = 0; i < count; ++i) {
        if (pieces[i].empty()) continue;
        if (first < 0) first = i;
        ++used;
    }
    if (used == 0) return {0, IoStatus::kOk, 0};
    if (used == 1 || pieces[first].size() >= kRecordBytes) {
        return Send(fd, pieces[first].data(), pieces[first].size());
    }
    // At most one record's worth: the rest goes in the next call.
    if (!gathered_) gathered_ = std::make_unique<char[]>(kRecordBytes);
    std::size_t filled = 0;
    for (int i = first; i < count && filled < kRecordBytes; ++i) {
        std::size_t take = std::min(pieces[i].size(), kRecordBytes - filled);
        std::memcpy(gathered_.get() + filled, pieces[i].data(), take);
        filled += take;
    }
    return Send(fd, gathered_.get(), filled);
}

bool TlsStream::HasPending() const {
    // Decrypted bytes, or (read ahead) bytes off the descriptor not yet tried as records.
    if (SSL_pending(ssl_.get()) > 0) return true;
    return !starved_ && SSL_has_pending(ssl_.get()) == 1;
}

void TlsStream::EndSending(int) {
    if (ended_ || failed_) return;
    ended_ = true;
    // One try: a close_notify that does not fit now is dropped; the TCP end follows anyway.
    ERR_clear_error();
    SSL_shutdown(ssl_.get());
    ERR_clear_error();
}

}  // namespace korvanel
