// The TLS sessions origins gave this program, kept by host name and port, so that the next
// connection to the same origin resumes (no key exchange, no chain to verify again) instead of
// starting over. A session is only ever offered to the name and port it was verified for; an
// inspector (one set of trust anchors) keeps its own. Bounded: a full store starts afresh.
#pragma once

#include <openssl/ssl.h>

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace korvanel {

struct SessionFree {
    void operator()(SSL_SESSION* session) const { SSL_SESSION_free(session); }
};
using SslSessionPtr = std::unique_ptr<SSL_SESSION, SessionFree>;

class OriginSessions {
  public:
    static constexpr std::size_t kCapacity = 512;

    // Makes `context` hand every new resumable session of a named origin to this store.
    // The store must outlive the context's connections.
    void Watch(SSL_CTX* context);

    // Marks `ssl` as the connection to `key` ("name:port"), whose new sessions are kept under
    // it, and offers the session kept for it, if any. False when OpenSSL refused either.
    bool Prepare(SSL* ssl, std::string key);

  private:
    static int Take(SSL* ssl, SSL_SESSION* session);
    void Keep(const std::string& key, SSL_SESSION* session);

    std::mutex mutex_;
    std::unordered_map<std::string, SslSessionPtr> sessions_;
};

}  // namespace korvanel
