// Owning handles for OpenSSL's reference-counted objects, freed with their own functions.
#pragma once

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <memory>

namespace korvanel {

struct X509Free {
    void operator()(X509* certificate) const { X509_free(certificate); }
};
struct EvpKeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct SslFree {
    void operator()(SSL* ssl) const { SSL_free(ssl); }
};
struct SslContextFree {
    void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
};
struct BioFree {
    void operator()(BIO* bio) const { BIO_free(bio); }
};

using X509Ptr = std::unique_ptr<X509, X509Free>;
using EvpKeyPtr = std::unique_ptr<EVP_PKEY, EvpKeyFree>;
using SslPtr = std::unique_ptr<SSL, SslFree>;
using SslContextPtr = std::unique_ptr<SSL_CTX, SslContextFree>;
using BioPtr = std::unique_ptr<BIO, BioFree>;

// A second owner of an object someone else holds.
inline X509Ptr ShareCertificate(X509* certificate) {
    if (certificate != nullptr) X509_up_ref(certificate);
    return X509Ptr(certificate);
}
inline EvpKeyPtr ShareKey(EVP_PKEY* key) {
    if (key != nullptr) EVP_PKEY_up_ref(key);
    return EvpKeyPtr(key);
}

}  // namespace korvanel
