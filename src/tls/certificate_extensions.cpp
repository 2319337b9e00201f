#include "tls/certificate_extensions.h"

#include <openssl/bn.h>
#include <openssl/x509v3.h>

namespace korvanel {

bool SetRandomSerial(X509* certificate) {
    BIGNUM* number = BN_new();
    if (number == nullptr) return false;
    bool ok = BN_rand(number, 128, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY) == 1;
    if (ok && BN_is_zero(number)) ok = BN_set_word(number, 1) == 1;
    ASN1_INTEGER* serial = ok ? BN_to_ASN1_INTEGER(number, nullptr) : nullptr;
    ok = serial != nullptr && X509_set_serialNumber(certificate, serial) == 1;
    ASN1_INTEGER_free(serial);
    BN_free(number);
    return ok;
}

bool AddExtension(X509* certificate, X509* issuer, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    if (extension == nullptr) return false;
    bool ok = X509_add_ext(certificate, extension, -1) == 1;
    X509_EXTENSION_free(extension);
    return ok;
}

}  // namespace korvanel
