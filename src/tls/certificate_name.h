// What the client's hello decides on this side: the name a minted certificate is made for
// (the name the client sent, SNI, else the host of its CONNECT line) and whether http/1.1
// is among the protocols it offers. Pure: bytes in, a verdict out, no allocation.
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

// http/1.1 as ALPN writes it: its length, then its bytes.
inline constexpr unsigned char kAlpnHttp11[] = {8, 'h', 't', 't', 'p', '/', '1', '.', '1'};

// Where "http/1.1" begins within a client's ALPN list (each protocol its length byte, then
// its bytes), or null when the list does not offer it. A list that runs past `length` is
// read no further than its last whole entry.
const unsigned char* FindHttp11(const unsigned char* offered, std::size_t length);

}  // namespace korvanel
