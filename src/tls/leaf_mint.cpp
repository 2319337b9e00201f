#include "tls/leaf_mint.h"

#include <openssl/err.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <string>

#include "tls/certificate_extensions.h"

namespace korvanel {

namespace {

constexpr std::size_t kMaxCommonName = 64;

}  // namespace

std::unique_ptr<LeafMint> LeafMint::Make(const Authority& authority) {
    std::unique_ptr<LeafMint> mint(new LeafMint());
    mint->authority_.certificate = ShareCertificate(authority.certificate.get());
    mint->authority_.key = ShareKey(authority.key.get());
    mint->key_.reset(EVP_EC_gen("P-256"));
    mint->authority_end_ = NotAfterOf(authority.certificate.get());
    ERR_clear_error();
    if (!mint->authority_.certificate || !mint->authority_.key || !mint->key_) return nullptr;
    return mint;
}

X509Ptr LeafMint::Mint(const CertificateName& name, std::time_t now) const {
    if (name.kind == NameKind::kNone || name.length == 0) return nullptr;
    X509Ptr certificate(X509_new());
    if (!certificate) return nullptr;
    X509* x = certificate.get();
    X509* issuer = authority_.certificate.get();
    std::time_t end = std::min<std::time_t>(now + kLeafLifetimeSeconds, authority_end_);
    std::string common(name.view().substr(0, kMaxCommonName));
    // The name was checked to hold letters, digits, '.', '-' and '_' only: nothing in it can
    // read as more of the configuration syntax.
    std::string alternative =
        (name.kind == NameKind::kAddress ? "IP:" : "DNS:") + std::string(name.view());
    X509_NAME* subject = X509_get_subject_name(x);
    bool ok = X509_set_version(x, X509_VERSION_3) == 1 && SetRandomSerial(x) &&
              X509_time_adj_ex(X509_getm_notBefore(x), 0, -kBackdateSeconds, &now) != nullptr &&
              ASN1_TIME_set(X509_getm_notAfter(x), end) != nullptr &&
              X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_UTF8,
                                         reinterpret_cast<const unsigned char*>(common.c_str()), -1,
                                         -1, 0) == 1 &&
              X509_set_issuer_name(x, X509_get_subject_name(issuer)) == 1 &&
              X509_set_pubkey(x, key_.get()) == 1;
    ok = ok && AddExtension(x, issuer, NID_basic_constraints, "critical,CA:FALSE") &&
         AddExtension(x, issuer, NID_key_usage, "critical,digitalSignature") &&
         AddExtension(x, issuer, NID_ext_key_usage, "serverAuth") &&
         AddExtension(x, issuer, NID_subject_alt_name, alternative.c_str()) &&
         AddExtension(x, issuer, NID_authority_key_identifier, "keyid:always") &&
         X509_sign(x, authority_.key.get(), EVP_sha256()) > 0;
    ERR_clear_error();
    return ok ? std::move(certificate) : nullptr;
}

}  // namespace korvanel
