// A TLS handshake on a non-blocking socket, driven to its end within the wait's limits, and
// the reasons a failed one is given.
#pragma once

#include <string>

#include "platform/socket.h"
#include "tls/handshake_wait.h"
#include "tls/openssl_handles.h"

namespace korvanel {

// Runs SSL_do_handshake on `ssl` (bound to `socket`'s descriptor) until it is done, fails,
// runs out of time, or the wait's stop or a revocation ends it. Each wait for the socket
// lasts at most `wait.step_ms`, so that a stop is seen within a step. OpenSSL's error
// queue is left as the failure left it, for the reason.
HandshakeEnd DriveHandshake(Socket& socket, SSL* ssl, const HandshakeWait& wait);

// What a handshake learnt on its way, for the reason of a failure. Reached from OpenSSL's
// callbacks through the SSL's application data while the handshake runs.
struct HandshakeNotes {
    const char* alert_received = nullptr;  // the peer's alert, OpenSSL's long text
    const char* failure = nullptr;         // this side's own short reason
};

// Records the alerts the peer sends into the HandshakeNotes the SSL carries.
void NoteAlerts(const SSL* ssl, int where, int value);

// The user's reason for an origin whose handshake failed: the certificate's verdict when
// verification failed, else "TLSで接続できません: " and OpenSSL's reason (or the alert).
std::string OriginFailureReason(long verify_result, unsigned long error,
                                const HandshakeNotes& notes, HandshakeEnd end);

// The reason for a client whose handshake failed, short and in OpenSSL's words (the alert
// the client sent, such as "unknown CA"), for the command log.
std::string ClientFailureReason(unsigned long error, const HandshakeNotes& notes, HandshakeEnd end);

// The Japanese detail for a verification error (issuer, self-signed, expiry, name), or
// its number and OpenSSL's text.
std::string VerifyErrorText(long verify_result);

}  // namespace korvanel
