// The SOCKS messages as bytes: what goes to the proxy (the target by its name, never
// looked up here), and how its answers are read, whole and a byte at a time.
#include "engine/socks_messages.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/proxy_login.h"
#include "texts.h"

namespace korvanel {
namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) out.push_back(static_cast<char>(v));
    return out;
}

TEST(SocksMessages, RequestsCarryTheNameAndTheLogin) {
    SocksMessage m;
    FormatSocks5Greeting(false, m);
    EXPECT_EQ(m.view(), Bytes({5, 1, 0}));
    FormatSocks5Greeting(true, m);
    EXPECT_EQ(m.view(), Bytes({5, 1, 2}));
    ASSERT_TRUE(FormatSocks5Login("al", "p:w", m));
    EXPECT_EQ(m.view(), Bytes({1, 2}) + "al" + Bytes({3}) + "p:w");
    EXPECT_FALSE(FormatSocks5Login("", "x", m));
    EXPECT_FALSE(FormatSocks5Login(std::string(256, 'u'), "x", m));

    ASSERT_TRUE(FormatSocks5Connect("onion.example", "443", m));
    EXPECT_EQ(m.view(), Bytes({5, 1, 0, 3, 13}) + "onion.example" + Bytes({1, 0xBB}));
    ASSERT_TRUE(FormatSocks5Connect("10.1.2.3", "80", m));
    EXPECT_EQ(m.view(), Bytes({5, 1, 0, 1, 10, 1, 2, 3, 0, 80}));
    // Not an address: a name, however much it looks like one.
    ASSERT_TRUE(FormatSocks5Connect("10.1.2.300", "80", m));
    EXPECT_EQ(m.view()[3], 3);
    EXPECT_FALSE(FormatSocks5Connect(std::string(256, 'h'), "80", m));
    EXPECT_FALSE(FormatSocks5Connect("h", "0", m));
    EXPECT_FALSE(FormatSocks5Connect("h", "65536", m));

    ASSERT_TRUE(FormatSocks4aConnect("name.example", "8080", "id", m));
    EXPECT_EQ(m.view(), Bytes({4, 1, 0x1F, 0x90, 0, 0, 0, 1}) + "id" + Bytes({0}) + "name.example" +
                            Bytes({0}));
    ASSERT_TRUE(FormatSocks4aConnect("127.0.0.1", "80", "", m));
    EXPECT_EQ(m.view(), Bytes({4, 1, 0, 80, 127, 0, 0, 1, 0}));
}

struct AnswerCase {
    const char* name;
    SocksAnswer answer;
    bool with_login;
    std::string bytes;
    SocksVerdict verdict;
    const char* reason;  // for a refusal
};

TEST(SocksMessages, AnswersAreReadExactlyAndRefusalsSaid) {
    const AnswerCase cases[] = {
        {"no login chosen", SocksAnswer::kSocks5Choice, false, Bytes({5, 0}),
         SocksVerdict::kGranted},
        {"login chosen", SocksAnswer::kSocks5Choice, true, Bytes({5, 2}), SocksVerdict::kGranted},
        {"login wanted", SocksAnswer::kSocks5Choice, false, Bytes({5, 0xFF}),
         SocksVerdict::kRefused, text::kSocksLoginNeeded},
        {"no login where one was offered", SocksAnswer::kSocks5Choice, true, Bytes({5, 0}),
         SocksVerdict::kRefused, text::kSocksLoginNotOffered},
        {"not SOCKS5", SocksAnswer::kSocks5Choice, false, "HT", SocksVerdict::kMalformed},
        {"login taken", SocksAnswer::kSocks5Login, true, Bytes({1, 0}), SocksVerdict::kGranted},
        {"login refused", SocksAnswer::kSocks5Login, true, Bytes({1, 1}), SocksVerdict::kRefused,
         text::kSocksLoginRefused},
        {"bound to an IPv4 address", SocksAnswer::kSocks5Connect, false,
         Bytes({5, 0, 0, 1, 127, 0, 0, 1, 0, 80}), SocksVerdict::kGranted},
        {"bound to a name", SocksAnswer::kSocks5Connect, false,
         Bytes({5, 0, 0, 3, 2}) + "ab" + Bytes({0, 80}), SocksVerdict::kGranted},
        {"bound to an IPv6 address", SocksAnswer::kSocks5Connect, false,
         Bytes({5, 0, 0, 4}) + std::string(16, '\0') + Bytes({0, 80}), SocksVerdict::kGranted},
        {"refused by rule", SocksAnswer::kSocks5Connect, false, Bytes({5, 2, 0, 1, 0}),
         SocksVerdict::kRefused, text::kSocksNotAllowed},
        {"network unreachable", SocksAnswer::kSocks5Connect, false, Bytes({5, 3, 0, 1, 0}),
         SocksVerdict::kRefused, text::kSocksNetworkUnreachable},
        {"host unreachable", SocksAnswer::kSocks5Connect, false, Bytes({5, 4, 0, 1, 0}),
         SocksVerdict::kRefused, text::kSocksHostUnreachable},
        {"connection refused", SocksAnswer::kSocks5Connect, false, Bytes({5, 5, 0, 1, 0}),
         SocksVerdict::kRefused, text::kSocksConnectionRefused},
        {"TTL expired", SocksAnswer::kSocks5Connect, false, Bytes({5, 6, 0, 1, 0}),
         SocksVerdict::kRefused, text::kSocksTtlExpired},
        {"command not supported", SocksAnswer::kSocks5Connect, false, Bytes({5, 7, 0, 1, 0}),
         SocksVerdict::kRefused, text::kSocksCommandUnsupported},
        {"address not supported", SocksAnswer::kSocks5Connect, false, Bytes({5, 8, 0, 1, 0}),
         SocksVerdict::kRefused, text::kSocksAddressUnsupported},
        {"an unknown address type", SocksAnswer::kSocks5Connect, false, Bytes({5, 0, 0, 9, 0}),
         SocksVerdict::kMalformed},
        {"SOCKS4 granted", SocksAnswer::kSocks4Connect, false, Bytes({0, 90, 0, 80, 1, 2, 3, 4}),
         SocksVerdict::kGranted},
        {"SOCKS4 rejected", SocksAnswer::kSocks4Connect, false, Bytes({0, 91, 0, 0, 0, 0, 0, 0}),
         SocksVerdict::kRefused, text::kSocks4Rejected},
        {"SOCKS4 ident", SocksAnswer::kSocks4Connect, false, Bytes({0, 93, 0, 0, 0, 0, 0, 0}),
         SocksVerdict::kRefused, text::kSocks4Ident},
        {"SOCKS4 nonsense", SocksAnswer::kSocks4Connect, false, Bytes({4, 90, 0, 0, 0, 0, 0, 0}),
         SocksVerdict::kMalformed},
    };
    for (const AnswerCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto* bytes = reinterpret_cast<const unsigned char*>(c.bytes.data());
        // Byte by byte, as the connect would receive them: only what the reader asks for.
        std::size_t have = 0;
        SocksRead read;
        for (std::size_t needed = FirstSocksBytes(c.answer); have < c.bytes.size();) {
            have = std::min(needed, c.bytes.size());
            read = ReadSocksAnswer(c.answer, bytes, have, c.with_login);
            if (read.verdict != SocksVerdict::kMore) break;
            ASSERT_GT(read.needed, have);
            needed = read.needed;
        }
        EXPECT_EQ(read.verdict, c.verdict);
        if (c.verdict == SocksVerdict::kGranted) {
            EXPECT_EQ(read.needed, c.bytes.size());
            // Less than the whole answer is never granted.
            EXPECT_NE(ReadSocksAnswer(c.answer, bytes, c.bytes.size() - 1, c.with_login).verdict,
                      SocksVerdict::kGranted);
        }
        if (c.reason != nullptr) {
            EXPECT_STREQ(SocksRefusalText(c.answer, read.code, c.with_login), c.reason);
        }
    }
}

TEST(ProxyLogin, BasicCredentialsAreBase64OfUserColonPassword) {
    const struct {
        const char* user;
        const char* password;
        const char* expected;
    } cases[] = {
        {"Aladdin", "open sesame", "Basic QWxhZGRpbjpvcGVuIHNlc2FtZQ=="},
        {"a", "", "Basic YTo="},
        {"ab", "c", "Basic YWI6Yw=="},
        {"u", "p:w", "Basic dTpwOnc="},
    };
    for (const auto& c : cases) {
        BasicCredentials out;
        FormatBasicCredentials(c.user, c.password, out);
        EXPECT_EQ(out.view(), c.expected);
    }
    HeaderBlock block;
    block = "Host: h\r\nProxy-Authorization: Basic YnJvd3Nlcg==\r\n\r\n";
    ASSERT_TRUE(PutProxyAuthorization(block, "Basic YTo=", "\r\n\r\n"));
    EXPECT_EQ(block.view(), "Host: h\r\nProxy-Authorization: Basic YTo=\r\n\r\n");
}

}  // namespace
}  // namespace korvanel
