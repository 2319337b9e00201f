#include "engine/socks_messages.h"

#include <cstring>

#include "texts.h"

namespace korvanel {

namespace {

constexpr unsigned char kSocks5 = 5;
constexpr unsigned char kSocks4 = 4;
constexpr unsigned char kNoLogin = 0;
constexpr unsigned char kUserPassword = 2;
constexpr unsigned char kLoginVersion = 1;
constexpr unsigned char kConnect = 1;
constexpr unsigned char kIpv4 = 1;
constexpr unsigned char kDomainName = 3;
constexpr unsigned char kIpv6 = 4;
constexpr unsigned char kSocks4Granted = 90;

// The port as a number 1..65535, or 0.
unsigned PortNumber(std::string_view port) {
    if (port.empty() || port.size() > 5) return 0;
    unsigned value = 0;
    for (char c : port) {
        if (c < '0' || c > '9') return 0;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value <= 65535 ? value : 0;
}

// The host as an IPv4 address when it is one in dotted form ("a.b.c.d", each 0..255).
bool AsIpv4(std::string_view host, std::uint32_t& address) {
    int parts = 0;
    std::uint32_t value = 0;
    std::size_t start = 0;
    while (start <= host.size()) {
        std::size_t dot = host.find('.', start);
        std::string_view part =
            host.substr(start, dot == std::string_view::npos ? host.npos : dot - start);
        if (part.empty() || part.size() > 3) return false;
        unsigned number = 0;
        for (char c : part) {
            if (c < '0' || c > '9') return false;
            number = number * 10 + static_cast<unsigned>(c - '0');
        }
        if (number > 255 || ++parts > 4) return false;
        value = (value << 8) | number;
        if (dot == std::string_view::npos) break;
        start = dot + 1;
    }
    if (parts != 4) return false;
    address = value;
    return true;
}

struct Writer {
    SocksMessage& out;
    void Byte(unsigned value) { out.bytes[out.size++] = static_cast<unsigned char>(value); }
    void Bytes(std::string_view text) {
        std::memcpy(out.bytes + out.size, text.data(), text.size());
        out.size += text.size();
    }
    void Port(unsigned port) {
        Byte(port >> 8);
        Byte(port & 0xFF);
    }
    void Address(std::uint32_t address) {
        for (int shift = 24; shift >= 0; shift -= 8) Byte((address >> shift) & 0xFF);
    }
};

}  // namespace

void FormatSocks5Greeting(bool with_login, SocksMessage& out) {
    out.size = 0;
    Writer w{out};
    w.Byte(kSocks5);
    // With a login only the login is offered: a proxy that would let the user in without
    // one must not be taken for one that checked it.
    w.Byte(1);
    w.Byte(with_login ? kUserPassword : kNoLogin);
}

bool FormatSocks5Login(std::string_view user, std::string_view password, SocksMessage& out) {
    out.size = 0;
    if (user.empty() || user.size() > 255 || password.size() > 255) return false;
    Writer w{out};
    w.Byte(kLoginVersion);
    w.Byte(static_cast<unsigned>(user.size()));
    w.Bytes(user);
    w.Byte(static_cast<unsigned>(password.size()));
    w.Bytes(password);
    return true;
}

bool FormatSocks5Connect(std::string_view host, std::string_view port, SocksMessage& out) {
    out.size = 0;
    unsigned number = PortNumber(port);
    if (host.empty() || host.size() > kMaxSocksHostLength || number == 0) return false;
    Writer w{out};
    w.Byte(kSocks5);
    w.Byte(kConnect);
    w.Byte(0);
    std::uint32_t address = 0;
    if (AsIpv4(host, address)) {
        w.Byte(kIpv4);
        w.Address(address);
    } else {
        w.Byte(kDomainName);
        w.Byte(static_cast<unsigned>(host.size()));
        w.Bytes(host);
    }
    w.Port(number);
    return true;
}

bool FormatSocks4aConnect(std::string_view host, std::string_view port, std::string_view user,
                          SocksMessage& out) {
    out.size = 0;
    unsigned number = PortNumber(port);
    if (host.empty() || host.size() > kMaxSocksHostLength || number == 0 || user.size() > 255 ||
        user.find('\0') != std::string_view::npos || host.find('\0') != std::string_view::npos) {
        return false;
    }
    Writer w{out};
    w.Byte(kSocks4);
    w.Byte(kConnect);
    w.Port(number);
    std::uint32_t address = 0;
    const bool numeric = AsIpv4(host, address);
    // 0.0.0.1: "the name follows" (an address 0.0.0.x with x not 0 is never a target).
    w.Address(numeric ? address : 1);
    w.Bytes(user);
    w.Byte(0);
    if (!numeric) {
        w.Bytes(host);
        w.Byte(0);
    }
    return true;
}

std::size_t FirstSocksBytes(SocksAnswer answer) {
    switch (answer) {
        case SocksAnswer::kSocks5Choice:
        case SocksAnswer::kSocks5Login:
            return 2;
        case SocksAnswer::kSocks5Connect:
            return 5;  // up to the first byte of the address: the length of a name
        case SocksAnswer::kSocks4Connect:
            return 8;
    }
    return 2;
}

SocksRead ReadSocksAnswer(SocksAnswer answer, const unsigned char* b, std::size_t size,
                          bool with_login) {
    SocksRead r;
    r.needed = FirstSocksBytes(answer);
    if (size < r.needed) return r;
    switch (answer) {
        case SocksAnswer::kSocks5Choice:
            if (b[0] != kSocks5) break;
            r.code = b[1];
            if (b[1] == (with_login ? kUserPassword : kNoLogin)) {
                r.verdict = SocksVerdict::kGranted;
            } else {
                // Anything not offered (0xFF among it) is a refusal of what was offered.
                r.verdict = SocksVerdict::kRefused;
            }
            return r;
        case SocksAnswer::kSocks5Login:
            // RFC 1929 says version 1; some servers answer with 5 there.
            if (b[0] != kLoginVersion && b[0] != kSocks5) break;
            r.code = b[1];
            r.verdict = b[1] == 0 ? SocksVerdict::kGranted : SocksVerdict::kRefused;
            return r;
        case SocksAnswer::kSocks5Connect: {
            if (b[0] != kSocks5 || b[2] != 0) break;
            r.code = b[1];
            if (b[1] != 0) {
                r.verdict = SocksVerdict::kRefused;
                return r;
            }
            // VER REP RSV ATYP, the bound address, the port.
            switch (b[3]) {
                case kIpv4:
                    r.needed = 4 + 4 + 2;
                    break;
                case kIpv6:
                    r.needed = 4 + 16 + 2;
                    break;
                case kDomainName:
                    r.needed = 4 + 1 + b[4] + 2;
                    break;
                default:
                    r.verdict = SocksVerdict::kMalformed;
                    return r;
            }
            r.verdict = size < r.needed ? SocksVerdict::kMore : SocksVerdict::kGranted;
            return r;
        }
        case SocksAnswer::kSocks4Connect:
            if (b[0] != 0) break;
            r.code = b[1];
            if (b[1] == kSocks4Granted) {
                r.verdict = SocksVerdict::kGranted;
            } else if (b[1] >= 91 && b[1] <= 93) {
                r.verdict = SocksVerdict::kRefused;
            } else {
                break;
            }
            return r;
    }
    r.verdict = SocksVerdict::kMalformed;
    return r;
}

const char* SocksRefusalText(SocksAnswer answer, int code, bool with_login) {
    switch (answer) {
        case SocksAnswer::kSocks5Choice:
            // Offered no login, a proxy that accepts none of the methods wants one.
            return with_login ? text::kSocksLoginNotOffered : text::kSocksLoginNeeded;
        case SocksAnswer::kSocks5Login:
            return text::kSocksLoginRefused;
        case SocksAnswer::kSocks4Connect:
            return code == 91 ? text::kSocks4Rejected : text::kSocks4Ident;
        case SocksAnswer::kSocks5Connect:
            break;
    }
    switch (code) {
        case 1:
            return text::kSocksGeneralFailure;
        case 2:
            return text::kSocksNotAllowed;
        case 3:
            return text::kSocksNetworkUnreachable;
        case 4:
            return text::kSocksHostUnreachable;
        case 5:
            return text::kSocksConnectionRefused;
        case 6:
            return text::kSocksTtlExpired;
        case 7:
            return text::kSocksCommandUnsupported;
        case 8:
            return text::kSocksAddressUnsupported;
        default:
            return text::kSocksUnknownFailure;
    }
}

}  // namespace korvanel
