#include "tls/support/test_pki.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <chrono>
#include <cstdio>
#include <ctime>

#include "tls/certificate_extensions.h"

namespace korvanel::testing {

namespace {

Credentials Make(const Credentials* issuer, const std::string& common_name, long from, long to,
                 const std::string& alternative, bool authority) {
    Credentials made;
    made.key.reset(EVP_EC_gen("P-256"));
    made.certificate.reset(X509_new());
    X509* x = made.certificate.get();
    std::time_t now = std::time(nullptr);
    X509_set_version(x, X509_VERSION_3);
    SetRandomSerial(x);
    X509_time_adj_ex(X509_getm_notBefore(x), 0, from, &now);
    X509_time_adj_ex(X509_getm_notAfter(x), 0, to, &now);
    X509_NAME_add_entry_by_txt(X509_get_subject_name(x), "CN", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>(common_name.c_str()), -1, -1,
                               0);
    X509* signer = issuer != nullptr ? issuer->certificate.get() : x;
    EVP_PKEY* signing_key = issuer != nullptr ? issuer->key.get() : made.key.get();
    X509_set_issuer_name(x, X509_get_subject_name(signer));
    X509_set_pubkey(x, made.key.get());
    if (authority) {
        AddExtension(x, signer, NID_basic_constraints, "critical,CA:TRUE");
        AddExtension(x, signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        AddExtension(x, signer, NID_basic_constraints, "CA:FALSE");
        AddExtension(x, signer, NID_ext_key_usage, "serverAuth");
        if (!alternative.empty()) {
            AddExtension(x, signer, NID_subject_alt_name, alternative.c_str());
        }
    }
    X509_sign(x, signing_key, EVP_sha256());
    return made;
}

bool Pump(SSL* ssl, Socket& socket, int code, std::chrono::steady_clock::time_point deadline) {
    int error = SSL_get_error(ssl, code);
    if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE) return false;
    if (std::chrono::steady_clock::now() > deadline) return false;
    if (error == SSL_ERROR_WANT_READ) {
        socket.WaitReadable(50);
    } else {
        socket.WaitWritable(50);
    }
    return true;
}

std::chrono::steady_clock::time_point After(int ms) {
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
}

}  // namespace

Credentials MakeTestCa(const std::string& name) {
    return Make(nullptr, name, -3600, 30L * 24 * 3600, "", true);
}

Credentials MakeTestLeaf(const Credentials* issuer, const LeafOptions& options) {
    std::string alternative;
    if (!options.dns.empty()) alternative = "DNS:" + options.dns;
    if (!options.ip.empty()) {
        alternative += (alternative.empty() ? "IP:" : ",IP:") + options.ip;
    }
    std::string common = options.dns.empty() ? options.ip : options.dns;
    if (!options.alternative_names) alternative.clear();
    return Make(issuer, common, options.from_seconds, options.to_seconds, alternative, false);
}

void WriteCertificatePem(const std::string& path, X509* certificate) {
    FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) return;
    PEM_write_X509(file, certificate);
    std::fclose(file);
}

bool RunTestHandshake(SSL* ssl, Socket& socket, int timeout_ms) {
    auto deadline = After(timeout_ms);
    for (;;) {
        int code = SSL_do_handshake(ssl);
        if (code == 1) return true;
        if (!Pump(ssl, socket, code, deadline)) {
            ERR_clear_error();
            return false;
        }
    }
}

std::string ReadTls(SSL* ssl, Socket& socket, std::size_t count) {
    std::string got;
    auto deadline = After(5000);
    char piece[4096];
    while (got.size() < count) {
        std::size_t n = 0;
        int code = SSL_read_ex(ssl, piece, sizeof piece, &n);
        if (code == 1) {
            got.append(piece, n);
            continue;
        }
        if (!Pump(ssl, socket, code, deadline)) break;
    }
    ERR_clear_error();
    return got;
}

bool WriteTls(SSL* ssl, Socket& socket, const std::string& data) {
    auto deadline = After(5000);
    std::size_t done = 0;
    while (done < data.size()) {
        std::size_t n = 0;
        int code = SSL_write_ex(ssl, data.data() + done, data.size() - done, &n);
        if (code == 1) {
            done += n;
            continue;
        }
        if (!Pump(ssl, socket, code, deadline)) return false;
    }
    return true;
}

SslContextPtr TestServerContext(const Credentials& credentials, int max_version) {
    SslContextPtr context(SSL_CTX_new(TLS_server_method()));
    SSL_CTX_use_certificate(context.get(), credentials.certificate.get());
    SSL_CTX_use_PrivateKey(context.get(), credentials.key.get());
    if (max_version != 0) {
        // Old versions are off at the default security level.
        SSL_CTX_set_security_level(context.get(), 0);
        SSL_CTX_set_min_proto_version(context.get(), 0);
        SSL_CTX_set_max_proto_version(context.get(), max_version);
    }
    return context;
}

SslContextPtr TestClientContext(X509* anchor) {
    SslContextPtr context(SSL_CTX_new(TLS_client_method()));
    // A copy of its own: OpenSSL fills an X509's extension cache lazily, and test clients on
    // several threads must not share that cache through one object.
    X509Ptr own(X509_dup(anchor));
    X509_STORE_add_cert(SSL_CTX_get_cert_store(context.get()), own.get());
    SSL_CTX_set_verify(context.get(), SSL_VERIFY_PEER, nullptr);
    return context;
}

}  // namespace korvanel::testing
