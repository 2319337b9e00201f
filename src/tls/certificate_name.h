// The name a minted certificate is made for: the name the client sent (SNI), else the host
// of its CONNECT line. Pure: bytes in, a verdict and a fixed buffer out, no allocation.
#pragma once

#include <cstddef>
#include <string_view>

namespace korvanel {

enum class NameKind {
    kNone,     // neither name can go into a certificate
    kHost,     // a host name: lower case, no trailing dot
    kAddress,  // an IPv4 address in dotted-quad form
};

struct CertificateName {
    static constexpr std::size_t kMaxLength = 253;
    char text[kMaxLength + 1] = {};  // NUL-terminated
    std::size_t length = 0;
    NameKind kind = NameKind::kNone;

    std::string_view view() const { return {text, length}; }
};

// One name as a certificate may carry it: lower-cased, one trailing dot dropped; a host name
// of letters, digits, '-' and '_' in labels of 1 to 63 (none starting or ending with '-',
// the last not all digits), at most 253 in all; or four decimal numbers 0 to 255 without
// leading zeros. Anything else (wildcards, IPv6, empty labels, bytes outside ASCII) is
// kNone, and `out` is then empty.
NameKind NormaliseCertificateName(std::string_view raw, CertificateName& out);

// The SNI's name when it is one, else the CONNECT host's; kNone when neither is.
NameKind ChooseCertificateName(std::string_view sni, std::string_view connect_host,
                               CertificateName& out);

}  // namespace korvanel
