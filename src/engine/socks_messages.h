// The messages of a SOCKS proxy's connect, as bytes: pure functions that build what this
// program sends and read what the proxy answers, with no socket and no allocation, so that
// they can be fed piece by piece in tests and fuzzers.
//
// SOCKS5 (RFC 1928): a greeting offering "no login" or, with a login, user name and
// password (RFC 1929) only; the login; a CONNECT naming the target by its name (an IPv4
// address as an address), so that the proxy, not this machine, looks the name up.
// SOCKS4a: a CONNECT with the name behind the user id (an IPv4 address as plain SOCKS4).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "runtime/upstream_kind.h"

namespace korvanel {

// Large enough for the longest message: a login of two 255-byte fields, or a SOCKS4a
// CONNECT with a 255-byte user id and a 255-byte name.
struct SocksMessage {
    unsigned char bytes[600];
    std::size_t size = 0;

    std::string_view view() const { return {reinterpret_cast<const char*>(bytes), size}; }
};

// The longest target name a SOCKS request carries.
inline constexpr std::size_t kMaxSocksHostLength = 255;

void FormatSocks5Greeting(bool with_login, SocksMessage& out);
// False for a login that does not fit its fields (an empty user name included).
bool FormatSocks5Login(std::string_view user, std::string_view password, SocksMessage& out);
// False for an empty or too long host, or a port outside 1..65535.
bool FormatSocks5Connect(std::string_view host, std::string_view port, SocksMessage& out);
bool FormatSocks4aConnect(std::string_view host, std::string_view port, std::string_view user,
                          SocksMessage& out);

// The proxy's answers, read as they arrive.
enum class SocksAnswer {
    kSocks5Choice,   // the method chosen (2 bytes)
    kSocks5Login,    // the verdict on the login (2 bytes)
    kSocks5Connect,  // the CONNECT's reply (its length depends on the address in it)
    kSocks4Connect,  // the SOCKS4 reply (8 bytes)
};

enum class SocksVerdict {
    kMore,       // `needed` bytes in all are wanted before the answer can be judged
    kGranted,    // the answer is whole: `needed` is its length
    kRefused,    // a well-formed refusal: `code` says which
    kMalformed,  // not an answer of this kind
};

struct SocksRead {
    SocksVerdict verdict = SocksVerdict::kMore;
    std::size_t needed = 0;
    int code = 0;  // SOCKS5: the reply code (or the method 0xFF); SOCKS4: the reply code
};

// Bytes a reader of `answer` wants before it asks ReadSocksAnswer.
std::size_t FirstSocksBytes(SocksAnswer answer);

// Judges the bytes received so far (never more than the answer: the bytes behind it belong
// to the target). `with_login`: the greeting offered a login.
SocksRead ReadSocksAnswer(SocksAnswer answer, const unsigned char* bytes, std::size_t size,
                          bool with_login);

// Why a proxy refused, in the user's words: for `answer` and the code of its refusal.
const char* SocksRefusalText(SocksAnswer answer, int code, bool with_login);

}  // namespace korvanel
