// Certificates and TLS peers for the TLS tests, made with OpenSSL in the test itself: no
// key files are committed.
#pragma once

#include <string>

#include "platform/socket.h"
#include "tls/openssl_handles.h"

namespace korvanel::testing {

struct Credentials {
    X509Ptr certificate;
    EvpKeyPtr key;
};

// A CA (CA:TRUE, keyCertSign) named `name`, valid an hour back for 30 days.
Credentials MakeTestCa(const std::string& name);

struct LeafOptions {
    std::string dns = "localhost";  // empty: no DNS name
    std::string ip;                 // empty: no address
    bool alternative_names = true;  // false: the name in the common name alone
    long from_seconds = -3600;      // start and end, relative to now
    long to_seconds = 30L * 24 * 3600;
};
// A server certificate signed by `issuer`, or self-signed when `issuer` is null.
Credentials MakeTestLeaf(const Credentials* issuer, const LeafOptions& options);

void WriteCertificatePem(const std::string& path, X509* certificate);

// Drives `ssl` (on `socket`'s descriptor) through its handshake; false on failure or after
// `timeout_ms`.
bool RunTestHandshake(SSL* ssl, Socket& socket, int timeout_ms = 5000);

// Reads through `ssl` until `count` bytes came (or the peer closed or 5 s passed).
std::string ReadTls(SSL* ssl, Socket& socket, std::size_t count);
// Writes all of `data` through `ssl`.
bool WriteTls(SSL* ssl, Socket& socket, const std::string& data);

// A server context presenting `credentials`, TLS up to `max_version` (0: any).
SslContextPtr TestServerContext(const Credentials& credentials, int max_version = 0);
// A client context that trusts `anchor` alone and verifies the peer.
SslContextPtr TestClientContext(X509* anchor);

}  // namespace korvanel::testing
