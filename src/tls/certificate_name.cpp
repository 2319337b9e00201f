#include "tls/certificate_name.h"

#include "platform/ascii_case.h"

namespace korvanel {

namespace {

constexpr std::size_t kMaxLabel = 63;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsLabelCharacter(char c) {
    return (c >= 'a' && c <= 'z') || IsDigit(c) || c == '-' || c == '_';
}

// Four numbers 0..255 separated by dots, no leading zeros, no sign, nothing else.
bool IsIpv4(std::string_view text) {
    int parts = 0;
    std::size_t i = 0;
    while (i <= text.size()) {
        std::size_t start = i;
        int value = 0;
        while (i < text.size() && IsDigit(text[i])) {
            value = value * 10 + (text[i] - '0');
            if (value > 255) return false;
            ++i;
        }
        std::size_t digits = i - start;
        if (digits == 0 || digits > 3 || (digits > 1 && text[start] == '0')) return false;
        ++parts;
        if (i == text.size()) break;
        if (text[i] != '.' || parts == 4) return false;
        ++i;
    }
    return parts == 4;
}

// `text` is lower case already.
bool IsHostName(std::string_view text) {
    if (text.empty() || text.size() > CertificateName::kMaxLength) return false;
    std::size_t start = 0;
    bool last_all_digits = false;
    while (start <= text.size()) {
        std::size_t end = text.find('.', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view label = text.substr(start, end - start);
        if (label.empty() || label.size() > kMaxLabel) return false;
        if (label.front() == '-' || label.back() == '-') return false;
        last_all_digits = true;
        for (char c : label) {
            if (!IsLabelCharacter(c)) return false;
            if (!IsDigit(c)) last_all_digits = false;
        }
        if (end == text.size()) break;
        start = end + 1;
    }
    // A last label of digits alone reads as an address to resolvers and browsers.
    return !last_all_digits;
}

}  // namespace

NameKind NormaliseCertificateName(std::string_view raw, CertificateName& out) {
    out.length = 0;
    out.text[0] = '\0';
    out.kind = NameKind::kNone;
    if (!raw.empty() && raw.back() == '.') raw.remove_suffix(1);
    if (raw.empty() || raw.size() > CertificateName::kMaxLength) return NameKind::kNone;
    char lowered[CertificateName::kMaxLength];
    for (std::size_t i = 0; i < raw.size(); ++i) lowered[i] = AsciiLower(raw[i]);
    std::string_view text(lowered, raw.size());
    NameKind kind = IsIpv4(text)       ? NameKind::kAddress
                    : IsHostName(text) ? NameKind::kHost
                                       : NameKind::kNone;
    if (kind == NameKind::kNone) return kind;
    for (std::size_t i = 0; i < text.size(); ++i) out.text[i] = text[i];
    out.text[text.size()] = '\0';
    out.length = text.size();
    out.kind = kind;
    return kind;
}

NameKind ChooseCertificateName(std::string_view sni, std::string_view connect_host,
                               CertificateName& out) {
    if (!sni.empty() && NormaliseCertificateName(sni, out) != NameKind::kNone) return out.kind;
    return NormaliseCertificateName(connect_host, out);
}

const unsigned char* FindHttp11(const unsigned char* offered, std::size_t length) {
    std::size_t at = 0;
    while (at < length) {
        std::size_t entry = offered[at];
        if (entry == 0 || entry > length - at - 1) return nullptr;
        if (entry == kAlpnHttp11[0]) {
            bool same = true;
            for (std::size_t i = 0; i < entry && same; ++i) {
                same = offered[at + 1 + i] == kAlpnHttp11[1 + i];
            }
            if (same) return offered + at + 1;
        }
        at += 1 + entry;
    }
    return nullptr;
}

}  // namespace korvanel
