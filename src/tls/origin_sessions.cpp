#include "tls/origin_sessions.h"

#include <memory>
#include <utility>

namespace korvanel {

namespace {

// Where a connection's key lives: a string the connection owns, freed with it.
void FreeKey(void*, void* key, CRYPTO_EX_DATA*, int, long, void*) {
    delete static_cast<std::string*>(key);
}

int KeyIndex() {
    static const int index = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, FreeKey);
    return index;
}

}  // namespace

void OriginSessions::Watch(SSL_CTX* context) {
    SSL_CTX_set_session_cache_mode(context,
                                   SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
    SSL_CTX_set_app_data(context, this);
    SSL_CTX_sess_set_new_cb(context, &OriginSessions::Take);
}

int OriginSessions::Take(SSL* ssl, SSL_SESSION* session) {
    auto* store = static_cast<OriginSessions*>(SSL_CTX_get_app_data(SSL_get_SSL_CTX(ssl)));
    const auto* key = static_cast<const std::string*>(SSL_get_ex_data(ssl, KeyIndex()));
    // Only a verified connection's session is kept, under the name and port it was checked for.
    if (store == nullptr || key == nullptr || SSL_get_verify_result(ssl) != X509_V_OK ||
        SSL_SESSION_is_resumable(session) != 1) {
        return 0;
    }
    store->Keep(*key, session);
    return 1;  // the store owns the reference it was given
}

void OriginSessions::Keep(const std::string& key, SSL_SESSION* session) {
    std::lock_guard<std::mutex> hold(mutex_);
    if (sessions_.size() >= kCapacity && sessions_.find(key) == sessions_.end()) {
        sessions_.clear();
    }
    sessions_[key] = SslSessionPtr(session);
}

bool OriginSessions::Prepare(SSL* ssl, std::string key) {
    SslSessionPtr kept;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        auto found = sessions_.find(key);
        if (found != sessions_.end()) {
            SSL_SESSION_up_ref(found->second.get());
            kept.reset(found->second.get());
        }
    }
    auto owned = std::make_unique<std::string>(std::move(key));
    if (SSL_set_ex_data(ssl, KeyIndex(), owned.get()) != 1) return false;
    owned.release();  // the connection frees it
    return !kept || SSL_set_session(ssl, kept.get()) == 1;
}

}  // namespace korvanel
