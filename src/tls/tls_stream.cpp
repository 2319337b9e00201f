#include "tls/tls_stream.h"

#include <openssl/err.h>

#include <cerrno>
#include <climits>
#include <utility>

namespace korvanel {

void SetStreamModes(SSL_CTX* context) {
    SSL_CTX_set_mode(context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    SSL_CTX_set_options(context, SSL_OP_IGNORE_UNEXPECTED_EOF | SSL_OP_NO_RENEGOTIATION);
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
            // close_notify, or (SSL_OP_IGNORE_UNEXPECTED_EOF) the descriptor's end.
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
        return {static_cast<long>(got), IoStatus::kOk, 0};
    }
    return Failure(code, false);
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

bool TlsStream::HasPending() const {
    return SSL_pending(ssl_.get()) > 0;
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
