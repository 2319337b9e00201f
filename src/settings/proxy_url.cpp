#include "settings/proxy_url.h"

#include "platform/ascii_case.h"
#include "settings/row_validation.h"

namespace korvanel {

namespace {

struct Scheme {
    std::string_view name;
    UpstreamKind kind;
};

constexpr Scheme kSchemes[] = {
    {"http", UpstreamKind::kHttp},      {"socks5", UpstreamKind::kSocks5},
    {"socks5h", UpstreamKind::kSocks5}, {"socks4a", UpstreamKind::kSocks4a},
    {"socks4", UpstreamKind::kSocks4a},
};

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// %XX escapes decoded; false for a "%" not followed by two hex digits.
bool Unescape(std::string_view text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out.push_back(text[i]);
            continue;
        }
        int high = i + 1 < text.size() ? HexValue(text[i + 1]) : -1;
        int low = i + 2 < text.size() ? HexValue(text[i + 2]) : -1;
        if (high < 0 || low < 0) return false;
        out.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    return true;
}

bool HasControlByte(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
    }
    return false;
}

bool IsStorableAddress(std::string_view address) {
    return CheckProxyRow("0", "0", "0", address) == kRowValid;
}

// An address that a URL or a line of the logins file names: no blank in it either, and a
// host before the ":".
bool IsNamedAddress(std::string_view address) {
    return IsStorableAddress(address) && !address.starts_with(':') &&
           address.find(' ') == std::string_view::npos;
}

}  // namespace

bool IsSendableLogin(std::string_view user, std::string_view password) {
    return !user.empty() && user.size() <= kMaxLoginFieldLength &&
           password.size() <= kMaxLoginFieldLength && user.find(':') == std::string_view::npos &&
           !HasControlByte(user) && !HasControlByte(password);
}

ProxyUrlParse ParseProxyUrl(std::string_view text, ProxyUrl& out) {
    out = ProxyUrl();
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    std::size_t separator = text.find("://");
    if (separator == std::string_view::npos) {
        if (!IsStorableAddress(text)) return ProxyUrlParse::kMalformed;
        out.address = text;
        return ProxyUrlParse::kParsed;
    }
    const std::string_view scheme = text.substr(0, separator);
    const Scheme* known = nullptr;
    for (const Scheme& s : kSchemes) {
        if (SameIgnoringCase(scheme, s.name)) known = &s;
    }
    if (known == nullptr) return ProxyUrlParse::kMalformed;
    out.kind = known->kind;
    std::string_view rest = text.substr(separator + 3);
    if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
    if (rest.find('/') != std::string_view::npos) return ProxyUrlParse::kMalformed;
    std::size_t at = rest.rfind('@');
    if (at != std::string_view::npos) {
        std::string_view login = rest.substr(0, at);
        std::size_t colon = login.find(':');
        const bool has_password = colon != std::string_view::npos;
        if (!Unescape(login.substr(0, colon), out.user) ||
            !Unescape(has_password ? login.substr(colon + 1) : std::string_view(), out.password) ||
            !IsSendableLogin(out.user, out.password) ||
            (out.kind == UpstreamKind::kSocks4a && has_password)) {
            return ProxyUrlParse::kBadLogin;
        }
        out.has_login = true;
        rest = rest.substr(at + 1);
    }
    if (!IsNamedAddress(rest)) return ProxyUrlParse::kMalformed;
    out.address = rest;
    return ProxyUrlParse::kParsed;
}

std::string FormatLoginLine(const ProxyLogin& login) {
    return login.address + " " + login.user + ":" + login.password;
}

bool ParseLoginLine(std::string_view line, ProxyLogin& out) {
    std::size_t space = line.find(' ');
    if (space == std::string_view::npos) return false;
    std::string_view address = line.substr(0, space);
    std::string_view login = line.substr(space + 1);
    std::size_t colon = login.find(':');
    if (colon == std::string_view::npos || !IsNamedAddress(address)) return false;
    std::string_view user = login.substr(0, colon);
    std::string_view password = login.substr(colon + 1);
    if (!IsSendableLogin(user, password)) return false;
    out.address = address;
    out.user = user;
    out.password = password;
    return true;
}

}  // namespace korvanel
