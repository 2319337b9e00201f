// The name a minted certificate is made for, from the SNI or the CONNECT host.
#include "tls/certificate_name.h"

#include <gtest/gtest.h>

#include <string>

#include "tls/support/row_label.h"

namespace korvanel {
namespace {

struct NameCase {
    const char* label;
    std::string raw;
    NameKind kind;
    const char* name;  // what the certificate carries when the kind is not kNone
};

class CertificateNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(CertificateNameTest, NormalisesOrRefuses) {
    const NameCase& row = GetParam();
    CertificateName out;
    EXPECT_EQ(NormaliseCertificateName(row.raw, out), row.kind);
    EXPECT_EQ(out.kind, row.kind);
    if (row.kind == NameKind::kNone) {
        EXPECT_EQ(out.length, 0u);
    } else {
        EXPECT_EQ(std::string(out.view()), row.name);
        EXPECT_EQ(out.text[out.length], '\0');
    }
}

const std::string kLabel63(63, 'a');
const std::string kLongest =
    kLabel63 + "." + kLabel63 + "." + kLabel63 + "." + std::string(61, 'b');

INSTANTIATE_TEST_SUITE_P(
    Names, CertificateNameTest,
    ::testing::Values(
        NameCase{"Lowered", "WWW.Example.COM", NameKind::kHost, "www.example.com"},
        NameCase{"TrailingDotDropped", "example.org.", NameKind::kHost, "example.org"},
        NameCase{"SingleLabel", "localhost", NameKind::kHost, "localhost"},
        NameCase{"UnderscoreAndHyphen", "a_b.x-y.test", NameKind::kHost, "a_b.x-y.test"},
        NameCase{"LongestName", kLongest, NameKind::kHost, kLongest.c_str()},
        NameCase{"TooLong", kLongest + "b", NameKind::kNone, ""},
        NameCase{"LabelTooLong", std::string(64, 'a') + ".test", NameKind::kNone, ""},
        NameCase{"Address", "192.168.0.1", NameKind::kAddress, "192.168.0.1"},
        NameCase{"AddressTrailingDot", "10.0.0.255.", NameKind::kAddress, "10.0.0.255"},
        NameCase{"AddressOutOfRange", "1.2.3.256", NameKind::kNone, ""},
        NameCase{"AddressLeadingZero", "01.2.3.4", NameKind::kNone, ""},
        NameCase{"ThreeNumbers", "1.2.3", NameKind::kNone, ""},
        NameCase{"FiveNumbers", "1.2.3.4.5", NameKind::kNone, ""},
        NameCase{"NumericLastLabel", "host.123", NameKind::kNone, ""},
        NameCase{"Wildcard", "*.example.com", NameKind::kNone, ""},
        NameCase{"EmptyLabel", "a..b", NameKind::kNone, ""},
        NameCase{"LeadingDot", ".a.b", NameKind::kNone, ""},
        NameCase{"TwoTrailingDots", "a.b..", NameKind::kNone, ""},
        NameCase{"HyphenAtLabelEnd", "a-.b", NameKind::kNone, ""},
        NameCase{"Ipv6", "::1", NameKind::kNone, ""},
        NameCase{"Comma", "a.test,DNS:evil.test", NameKind::kNone, ""},
        NameCase{"NulInside", std::string("a\0b.test", 8), NameKind::kNone, ""},
        NameCase{"NotAscii", "\xe4.test", NameKind::kNone, ""},
        NameCase{"Empty", "", NameKind::kNone, ""}, NameCase{"DotAlone", ".", NameKind::kNone, ""}),
    testing::RowLabel());

TEST(CertificateNameChoice, TheSniWinsWhenValidElseTheConnectHostElseNone) {
    CertificateName out;
    EXPECT_EQ(ChooseCertificateName("Sni.Test", "connect.test", out), NameKind::kHost);
    EXPECT_EQ(std::string(out.view()), "sni.test");
    EXPECT_EQ(ChooseCertificateName("", "127.0.0.1", out), NameKind::kAddress);
    EXPECT_EQ(std::string(out.view()), "127.0.0.1");
    EXPECT_EQ(ChooseCertificateName("bad name", "connect.test", out), NameKind::kHost);
    EXPECT_EQ(std::string(out.view()), "connect.test");
    EXPECT_EQ(ChooseCertificateName("*.x", "a..b", out), NameKind::kNone);
}

TEST(AlpnOffer, FindsHttp11OnAnEntryBoundaryWithinTheList) {
    struct Row {
        std::string list;
        long at;  // -1: not offered
    } rows[] = {{std::string("\x08http/1.1", 9), 1},
                {std::string("\x02h2\x08http/1.1", 12), 4},
                {std::string("\x02h2", 3), -1},
                // "http/1.1" inside another protocol's bytes is not an offer.
                {std::string("\x0ax-http/1.1", 11), -1},
                // A length that runs past the end stops the walk.
                {std::string("\x02h2\x09http/1.1", 12), -1},
                {std::string("\x00\x08http/1.1", 10), -1},
                {"", -1}};
    for (const Row& row : rows) {
        const auto* list = reinterpret_cast<const unsigned char*>(row.list.data());
        const unsigned char* found = FindHttp11(list, row.list.size());
        EXPECT_EQ(found == nullptr ? -1 : found - list, row.at) << row.list;
    }
}

}  // namespace
}  // namespace korvanel
