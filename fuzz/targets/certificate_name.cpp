// The step from the name a TLS client sent (SNI) and the CONNECT host to the name a minted
// certificate carries. Input: one byte, the SNI's length (cut to what follows), then the
// SNI, then the CONNECT host.
#include "tls/certificate_name.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"

using namespace korvanel;

namespace {

bool Allowed(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
}

void CheckName(const CertificateName& name, NameKind kind) {
    fuzz::Require(name.kind == kind, "the verdict is the name's kind");
    fuzz::Use(name.view());
    if (kind == NameKind::kNone) {
        fuzz::Require(name.length == 0 && name.text[0] == '\0', "a refused name is empty");
        return;
    }
    fuzz::Require(name.length >= 1 && name.length <= CertificateName::kMaxLength,
                  "a name is 1 to 253 characters");
    fuzz::Require(name.text[name.length] == '\0', "a name ends with NUL");
    for (std::size_t i = 0; i < name.length; ++i) {
        fuzz::Require(Allowed(name.text[i]), "a name holds lower-case letters, digits, . - _");
    }
    std::string_view text = name.view();
    fuzz::Require(text.front() != '.' && text.back() != '.', "no dot at either end");
    fuzz::Require(text.find("..") == std::string_view::npos, "no empty label");
    if (kind == NameKind::kAddress) {
        fuzz::Require(text.find_first_not_of("0123456789.") == std::string_view::npos,
                      "an address is digits and dots");
    }
    // A name is its own normal form.
    CertificateName again;
    fuzz::Require(NormaliseCertificateName(text, again) == kind && again.view() == text,
                  "a normalised name normalises to itself");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    std::size_t sni_length = data[0];
    if (sni_length > size - 1) sni_length = size - 1;
    // Copies of their own, so that a read past either shows under the address sanitizer.
    std::string sni(reinterpret_cast<const char*>(data + 1), sni_length);
    std::string host(reinterpret_cast<const char*>(data + 1 + sni_length), size - 1 - sni_length);

    CertificateName from_sni;
    NameKind sni_kind = NormaliseCertificateName(sni, from_sni);
    CheckName(from_sni, sni_kind);

    CertificateName chosen;
    NameKind kind = ChooseCertificateName(sni, host, chosen);
    CheckName(chosen, kind);
    if (sni_kind != NameKind::kNone) {
        fuzz::Require(chosen.view() == from_sni.view(), "a usable SNI wins");
    } else {
        CertificateName from_host;
        fuzz::Require(
            NormaliseCertificateName(host, from_host) == kind && from_host.view() == chosen.view(),
            "without a usable SNI the CONNECT host decides");
    }
    return 0;
}
