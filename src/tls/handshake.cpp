#include "tls/handshake.h"

#include <openssl/err.h>
#include <openssl/x509_vfy.h>

#include <algorithm>
#include <chrono>

#include "texts.h"

namespace korvanel {

namespace {

bool Stopping(Socket& socket, const HandshakeWait& wait) {
    return socket.Revoked() || (wait.stopping != nullptr && wait.stopping(wait.context));
}

}  // namespace

HandshakeEnd DriveHandshake(Socket& socket, SSL* ssl, const HandshakeWait& wait) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(wait.timeout_ms, 0));
    const int step = wait.step_ms > 0 ? wait.step_ms : 250;
    for (;;) {
        if (Stopping(socket, wait)) return HandshakeEnd::kStopped;
        ERR_clear_error();
        int code = SSL_do_handshake(ssl);
        if (code == 1) return HandshakeEnd::kDone;
        int error = SSL_get_error(ssl, code);
        if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE) {
            return socket.Revoked() ? HandshakeEnd::kStopped : HandshakeEnd::kFailed;
        }
        for (;;) {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) return HandshakeEnd::kTimeout;
            int wait_ms = static_cast<int>(std::min<long long>(step, left.count()));
            PollResult polled = error == SSL_ERROR_WANT_WRITE ? socket.WaitWritable(wait_ms)
                                                              : socket.WaitReadable(wait_ms);
            if (polled == PollResult::kReady) break;
            if (polled == PollResult::kError) {
                return socket.Revoked() ? HandshakeEnd::kStopped : HandshakeEnd::kFailed;
            }
            if (Stopping(socket, wait)) return HandshakeEnd::kStopped;
        }
    }
}

void NoteAlerts(const SSL* ssl, int where, int value) {
    // The alert flag is shared by alerts read and written: only the peer's count.
    if ((where & SSL_CB_READ_ALERT) != SSL_CB_READ_ALERT) return;
    auto* notes = static_cast<HandshakeNotes*>(SSL_get_ex_data(ssl, 0));
    // A warning close_notify is no reason; the first fatal alert is.
    if (notes != nullptr && notes->alert_received == nullptr && (value >> 8) == SSL3_AL_FATAL) {
        notes->alert_received = SSL_alert_desc_string_long(value);
    }
}

std::string VerifyErrorText(long verify_result) {
    switch (verify_result) {
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
            return text::kIssuerUnknown;
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
            return text::kSelfSigned;
        case X509_V_ERR_CERT_HAS_EXPIRED:
            return text::kExpired;
        case X509_V_ERR_CERT_NOT_YET_VALID:
            return text::kNotYetValid;
        case X509_V_ERR_HOSTNAME_MISMATCH:
        case X509_V_ERR_IP_ADDRESS_MISMATCH:
            return text::kNameMismatch;
        default:
            return std::to_string(verify_result) + " " +
                   X509_verify_cert_error_string(verify_result);
    }
}

std::string OriginFailureReason(long verify_result, unsigned long error,
                                const HandshakeNotes& notes, HandshakeEnd end) {
    if (verify_result != X509_V_OK) {
        return std::string(text::kCertificateUnverified) + VerifyErrorText(verify_result);
    }
    std::string reason(text::kTlsFailed);
    if (end == HandshakeEnd::kTimeout) return reason + text::kTlsTimeout;
    if (notes.failure != nullptr) return reason + notes.failure;
    const char* text = error != 0 ? ERR_reason_error_string(error) : nullptr;
    if (text != nullptr) return reason + text;
    if (notes.alert_received != nullptr) return reason + notes.alert_received;
    return reason + text::kTlsPeerClosed;
}

std::string ClientFailureReason(unsigned long error, const HandshakeNotes& notes,
                                HandshakeEnd end) {
    if (end == HandshakeEnd::kTimeout) return "timeout";
    if (end == HandshakeEnd::kStopped) return "stopped";
    if (notes.failure != nullptr) return notes.failure;
    if (notes.alert_received != nullptr) return notes.alert_received;
    const char* text = error != 0 ? ERR_reason_error_string(error) : nullptr;
    return text != nullptr ? text : "connection closed";
}

}  // namespace korvanel
