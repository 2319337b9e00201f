// The user's authority: what is made, how its files are written, what a load refuses.
#include "tls/authority.h"

#include <gtest/gtest.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "support/temp_dir.h"
#include "tls/inspector.h"
#include "tls/support/row_label.h"
#include "tls/support/test_pki.h"

namespace korvanel {
namespace {

mode_t ModeOf(const std::string& path) {
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
}

std::string SubjectEntry(X509* certificate, int nid) {
    char text[256] = {};
    X509_NAME_get_text_by_NID(X509_get_subject_name(certificate), nid, text, sizeof text);
    return text;
}

class AuthorityTest : public ::testing::Test {
  protected:
    testing::TempDir dir_;
    AuthorityFiles files_ = AuthorityFilesIn(dir_.path());
    std::time_t now_ = std::time(nullptr);

    Authority Load(AuthorityLoad expected, std::string* problem_out = nullptr) {
        Authority loaded;
        std::string problem;
        EXPECT_EQ(LoadAuthority(files_, now_, loaded, problem), expected) << problem;
        if (problem_out != nullptr) *problem_out = problem;
        return loaded;
    }
};

TEST_F(AuthorityTest, IsAnEcP256CaOfPathLengthZeroNamedForTheMachineValidTwoYears) {
    Authority made;
    ASSERT_TRUE(MakeAuthority("build-host", now_, made));
    X509* ca = made.certificate.get();
    EXPECT_EQ(EVP_PKEY_get_base_id(made.key.get()), EVP_PKEY_EC);
    char curve[64] = {};
    EVP_PKEY_get_group_name(made.key.get(), curve, sizeof curve, nullptr);
    EXPECT_STREQ(curve, "prime256v1");
    EXPECT_EQ(SubjectEntry(ca, NID_commonName), "KORVANEL CA (build-host)");
    EXPECT_EQ(SubjectEntry(ca, NID_organizationName), "KORVANEL");
    EXPECT_EQ(X509_check_ca(ca), 1);
    EXPECT_EQ(X509_get_pathlen(ca), 0);
    EXPECT_TRUE(X509_get_extension_flags(ca) & EXFLAG_KUSAGE);
    EXPECT_EQ(X509_get_key_usage(ca), static_cast<uint32_t>(KU_KEY_CERT_SIGN | KU_CRL_SIGN));
    int critical = 0;
    BASIC_CONSTRAINTS* constraints = static_cast<BASIC_CONSTRAINTS*>(
        X509_get_ext_d2i(ca, NID_basic_constraints, &critical, nullptr));
    ASSERT_NE(constraints, nullptr);
    EXPECT_EQ(critical, 1);
    BASIC_CONSTRAINTS_free(constraints);
    EXPECT_NE(X509_get0_subject_key_id(ca), nullptr);
    EXPECT_EQ(NotAfterOf(ca) - now_, kAuthorityLifetimeSeconds);
    EXPECT_EQ(X509_cmp_time(X509_get0_notBefore(ca), &now_), -1);
    EXPECT_EQ(X509_verify(ca, made.key.get()), 1);

    // A long machine name is cut so that the name stays within 64 characters.
    Authority long_named;
    ASSERT_TRUE(MakeAuthority(std::string(100, 'm'), now_, long_named));
    std::string common = SubjectEntry(long_named.certificate.get(), NID_commonName);
    EXPECT_EQ(common.size(), 64u);
    EXPECT_EQ(common.back(), ')');
}

TEST_F(AuthorityTest, FilesAreWrittenWithTheKeyForTheUserAloneAndLoadBack) {
    Authority made;
    ASSERT_TRUE(MakeAuthority("host", now_, made));
    std::string problem;
    ::umask(0);  // the key's mode must not depend on the umask
    bool written = WriteAuthority(made, files_, problem);
    ::umask(022);
    ASSERT_TRUE(written) << problem;
    EXPECT_EQ(ModeOf(files_.key), 0600u);
    EXPECT_EQ(ModeOf(files_.certificate), 0644u);
    Authority loaded = Load(AuthorityLoad::kLoaded);
    ASSERT_TRUE(loaded.certificate);
    EXPECT_EQ(X509_cmp(loaded.certificate.get(), made.certificate.get()), 0);
    EXPECT_EQ(EVP_PKEY_eq(loaded.key.get(), made.key.get()), 1);
}

// Each row spoils a good pair in one way; the load refuses it and says which file.
struct Spoil {
    const char* label;
    void (*spoil)(const AuthorityFiles& files);
    const char* problem_holds;
};

class AuthorityRefusalTest : public AuthorityTest, public ::testing::WithParamInterface<Spoil> {};

TEST_P(AuthorityRefusalTest, RefusesWithAProblem) {
    Authority made;
    ASSERT_TRUE(MakeAuthority("host", now_, made));
    std::string problem;
    ASSERT_TRUE(WriteAuthority(made, files_, problem)) << problem;
    GetParam().spoil(files_);
    Authority loaded = Load(AuthorityLoad::kRefused, &problem);
    EXPECT_FALSE(loaded.certificate);
    EXPECT_NE(problem.find(GetParam().problem_holds), std::string::npos) << problem;
}

void OtherCertificate(const AuthorityFiles& files, X509* certificate) {
    testing::WriteCertificatePem(files.certificate, certificate);
}

INSTANTIATE_TEST_SUITE_P(
    Spoiled, AuthorityRefusalTest,
    ::testing::Values(
        Spoil{"GroupReadableKey", [](const AuthorityFiles& f) { ::chmod(f.key.c_str(), 0640); },
              "0600"},
        Spoil{"OthersReadableKey", [](const AuthorityFiles& f) { ::chmod(f.key.c_str(), 0604); },
              "0600"},
        Spoil{"KeyMissing", [](const AuthorityFiles& f) { std::remove(f.key.c_str()); },
              "korvanel-ca.key"},
        Spoil{"CertificateMissing",
              [](const AuthorityFiles& f) { std::remove(f.certificate.c_str()); },
              "korvanel-ca.pem"},
        Spoil{"KeyGarbled",
              [](const AuthorityFiles& f) { testing::WriteFile(f.key, "not a key\n"); },
              "korvanel-ca.key"},
        Spoil{"CertificateOfAnotherKey",
              [](const AuthorityFiles& f) {
                  Authority other;
                  MakeAuthority("other", std::time(nullptr), other);
                  OtherCertificate(f, other.certificate.get());
              },
              "一致しません"},
        // Files trust rests on are the user's own regular files, read never through a link
        // and never waiting on a pipe.
        Spoil{"KeyThroughALink",
              [](const AuthorityFiles& f) {
                  std::rename(f.key.c_str(), (f.key + ".real").c_str());
                  ::symlink((f.key + ".real").c_str(), f.key.c_str());
              },
              "シンボリックリンク"},
        Spoil{"KeyIsAPipe",
              [](const AuthorityFiles& f) {
                  std::remove(f.key.c_str());
                  ::mkfifo(f.key.c_str(), 0600);
              },
              "通常のファイルではありません"},
        Spoil{"KeyOfAnotherUser",
              [](const AuthorityFiles& f) { EXPECT_EQ(::chown(f.key.c_str(), 65534, 65534), 0); },
              "ほかのユーザー"},
        // Nobody is there to type a passphrase: such a key is refused, never asked for.
        Spoil{"EncryptedKey",
              [](const AuthorityFiles& f) {
                  Authority other;
                  MakeAuthority("other", std::time(nullptr), other);
                  FILE* file = std::fopen(f.key.c_str(), "w");
                  PEM_write_PrivateKey(file, other.key.get(), EVP_aes_128_cbc(), nullptr, 0,
                                       nullptr, const_cast<char*>("secret"));
                  std::fclose(file);
              },
              "パスフレーズ"},
        Spoil{"NotACa",
              [](const AuthorityFiles& f) {
                  testing::Credentials leaf = testing::MakeTestLeaf(nullptr, {});
                  OtherCertificate(f, leaf.certificate.get());
              },
              "認証局の証明書ではありません"}),
    testing::RowLabel());

TEST_F(AuthorityTest, AnExpiredAuthorityIsRefused) {
    Authority made;
    ASSERT_TRUE(MakeAuthority("host", now_ - kAuthorityLifetimeSeconds - 10, made));
    std::string problem;
    ASSERT_TRUE(WriteAuthority(made, files_, problem));
    Load(AuthorityLoad::kRefused, &problem);
    EXPECT_NE(problem.find("有効期限"), std::string::npos) << problem;
}

TEST_F(AuthorityTest, OpenMakesTheFilesOnceAndANewAuthorityReplacesThem) {
    InspectorOptions options;
    options.folder = dir_.path();
    options.system_anchors = dir_.path();
    options.create = false;
    std::string problem;
    bool created = true;
    EXPECT_EQ(Inspector::Open(options, problem, created), nullptr);
    EXPECT_FALSE(created);
    EXPECT_FALSE(testing::FileExists(files_.key)) << "asked not to create";

    options.create = true;
    std::shared_ptr<Inspector> first = Inspector::Open(options, problem, created);
    ASSERT_NE(first, nullptr) << problem;
    EXPECT_TRUE(created);
    EXPECT_EQ(first->CertificatePath(), files_.certificate);
    std::string first_pem = testing::ReadFile(files_.certificate);
    ASSERT_NE(Inspector::Open(options, problem, created), nullptr) << problem;
    EXPECT_FALSE(created);
    EXPECT_EQ(testing::ReadFile(files_.certificate), first_pem);

    ASSERT_TRUE(MakeNewAuthority(dir_.path(), problem)) << problem;
    EXPECT_NE(testing::ReadFile(files_.certificate), first_pem);
    EXPECT_EQ(ModeOf(files_.key), 0600u);
    Load(AuthorityLoad::kLoaded);
    int entries = 0;  // no temporary files are left beside the pair
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 2);

    EXPECT_FALSE(MakeNewAuthority(dir_.path() + "/missing", problem));
    EXPECT_FALSE(problem.empty());
    EXPECT_NE(testing::ReadFile(files_.certificate), first_pem);
}

TEST_F(AuthorityTest, OpenRefusesAnUnreadableExtraAnchorFileBeforeMakingAnything) {
    InspectorOptions options;
    options.folder = dir_.path();
    options.system_anchors = dir_.path();
    options.extra_ca_file = dir_.file("absent.pem");
    std::string problem;
    bool created = false;
    EXPECT_EQ(Inspector::Open(options, problem, created), nullptr);
    EXPECT_NE(problem.find("absent.pem"), std::string::npos) << problem;
    EXPECT_FALSE(testing::FileExists(files_.key));

    testing::WriteFile(options.extra_ca_file, "no certificate here\n");
    EXPECT_EQ(Inspector::Open(options, problem, created), nullptr);
    EXPECT_NE(problem.find("absent.pem"), std::string::npos) << problem;
}

}  // namespace
}  // namespace korvanel
