// Minted host certificates and their cache.
#include <gtest/gtest.h>
#include <openssl/x509v3.h>

#include <string>

#include "tls/authority.h"
#include "tls/leaf_cache.h"
#include "tls/leaf_mint.h"
#include "tls/support/row_label.h"

namespace korvanel {
namespace {

CertificateName NameOf(const char* raw) {
    CertificateName name;
    NormaliseCertificateName(raw, name);
    return name;
}

// X509_V_OK when `leaf` chains to `ca` for a TLS server, with the name or address checked.
int Verify(X509* ca, X509* leaf, const CertificateName& name, std::time_t at) {
    X509_STORE* store = X509_STORE_new();
    X509_STORE_add_cert(store, ca);
    X509_STORE_CTX* context = X509_STORE_CTX_new();
    X509_STORE_CTX_init(context, store, leaf, nullptr);
    X509_VERIFY_PARAM* param = X509_STORE_CTX_get0_param(context);
    X509_VERIFY_PARAM_set_purpose(param, X509_PURPOSE_SSL_SERVER);
    X509_VERIFY_PARAM_set_time(param, at);
    if (name.kind == NameKind::kAddress) {
        X509_VERIFY_PARAM_set1_ip_asc(param, name.text);
    } else {
        X509_VERIFY_PARAM_set1_host(param, name.text, 0);
    }
    int result = X509_verify_cert(context) == 1 ? X509_V_OK : X509_STORE_CTX_get_error(context);
    X509_STORE_CTX_free(context);
    X509_STORE_free(store);
    return result;
}

class LeafMintTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(MakeAuthority("host", now_, authority_));
        mint_ = LeafMint::Make(authority_);
        ASSERT_NE(mint_, nullptr);
    }
    std::time_t now_ = std::time(nullptr);
    Authority authority_;
    std::unique_ptr<LeafMint> mint_;
};

const char* const kLongName =
    "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa."
    "bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb.test";

struct LeafCase {
    const char* label;
    const char* name;
    const char* other_name;  // a name the certificate must not pass for
};

class LeafMintNames : public LeafMintTest, public ::testing::WithParamInterface<LeafCase> {};

TEST_P(LeafMintNames, VerifiesAgainstTheAuthorityForItsNameOnly) {
    CertificateName name = NameOf(GetParam().name);
    X509Ptr leaf = mint_->Mint(name, now_);
    ASSERT_TRUE(leaf);
    X509* ca = authority_.certificate.get();
    EXPECT_EQ(Verify(ca, leaf.get(), name, now_), X509_V_OK);
    EXPECT_EQ(Verify(ca, leaf.get(), NameOf(GetParam().other_name), now_),
              name.kind == NameKind::kAddress ? X509_V_ERR_IP_ADDRESS_MISMATCH
                                              : X509_V_ERR_HOSTNAME_MISMATCH);
    EXPECT_EQ(X509_check_issued(ca, leaf.get()), X509_V_OK);
    EXPECT_EQ(X509_check_ca(leaf.get()), 0);
    EXPECT_TRUE(X509_get_extended_key_usage(leaf.get()) & XKU_SSL_SERVER);
    EXPECT_EQ(X509_get0_authority_key_id(leaf.get())->length, X509_get0_subject_key_id(ca)->length);
    EXPECT_EQ(NotAfterOf(leaf.get()) - now_, kLeafLifetimeSeconds);
    EXPECT_EQ(X509_check_private_key(leaf.get(), mint_->key()), 1);
    char common[256] = {};
    X509_NAME_get_text_by_NID(X509_get_subject_name(leaf.get()), NID_commonName, common,
                              sizeof common);
    EXPECT_EQ(std::string(common), std::string(name.view().substr(0, 64)));
    // Valid from an hour back: a client whose clock is a little behind accepts it.
    EXPECT_EQ(Verify(ca, leaf.get(), name, now_ - 1800), X509_V_OK);
    EXPECT_EQ(Verify(ca, leaf.get(), name, now_ + kLeafLifetimeSeconds + 60),
              X509_V_ERR_CERT_HAS_EXPIRED);
}

INSTANTIATE_TEST_SUITE_P(Names, LeafMintNames,
                         ::testing::Values(LeafCase{"HostName", "shop.example", "other.example"},
                                           LeafCase{"Address", "127.0.0.1", "127.0.0.2"},
                                           // The common name is cut to 64; the SAN is whole.
                                           LeafCase{"LongName", kLongName, "a.test"}),
                         testing::RowLabel());

TEST(LeafMintEnd, NeverOutlivesTheAuthority) {
    std::time_t now = std::time(nullptr);
    Authority old;
    // Made so long ago that ten days of it are left.
    ASSERT_TRUE(MakeAuthority("host", now - kAuthorityLifetimeSeconds + 10 * 86400, old));
    std::unique_ptr<LeafMint> mint = LeafMint::Make(old);
    X509Ptr leaf = mint->Mint(NameOf("a.test"), now);
    ASSERT_TRUE(leaf);
    EXPECT_EQ(NotAfterOf(leaf.get()), NotAfterOf(old.certificate.get()));
}

class LeafCacheTest : public LeafMintTest {
  protected:
    X509Ptr MintFor(const char* raw) { return mint_->Mint(NameOf(raw), now_); }
};

TEST_F(LeafCacheTest, ReusesUntilADayIsLeftAndDropsTheLeastRecentlyUsed) {
    LeafCache cache(2);
    EXPECT_FALSE(cache.Find("a.test", now_));
    X509Ptr a = MintFor("a.test");
    X509* a_raw = a.get();
    cache.Put("a.test", std::move(a));
    EXPECT_EQ(cache.Find("a.test", now_).get(), a_raw);
    // With less than a day left the certificate is no longer handed out.
    EXPECT_EQ(cache.Find("a.test", now_ + kLeafLifetimeSeconds - 86400 + 1).get(), nullptr);
    EXPECT_EQ(cache.size(), 0u);

    cache.Put("a.test", MintFor("a.test"));
    cache.Put("b.test", MintFor("b.test"));
    EXPECT_TRUE(cache.Find("a.test", now_));  // a is now the most recently used
    cache.Put("c.test", MintFor("c.test"));
    EXPECT_EQ(cache.size(), 2u);
    EXPECT_TRUE(cache.Find("a.test", now_));
    EXPECT_FALSE(cache.Find("b.test", now_));
    EXPECT_TRUE(cache.Find("c.test", now_));

    X509Ptr replacement = MintFor("c.test");
    X509* replacement_raw = replacement.get();
    cache.Put("c.test", std::move(replacement));
    EXPECT_EQ(cache.Find("c.test", now_).get(), replacement_raw);
    EXPECT_EQ(cache.size(), 2u);
}

}  // namespace
}  // namespace korvanel
