// The inspector's two handshakes over loopback sockets: a test client trusting the user's
// authority against AcceptClient, and ConnectOrigin against test servers with good and bad
// certificates.
#include "tls/inspector.h"

#include <gtest/gtest.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/socket.h"
#include "support/loopback.h"
#include "support/temp_dir.h"
#include "tls/certificate_name.h"
#include "tls/support/row_label.h"
#include "tls/support/test_pki.h"

namespace korvanel {
namespace {

using testing::Credentials;

X509Ptr ReadCertificate(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) return nullptr;
    X509Ptr certificate(PEM_read_X509(file, nullptr, nullptr, nullptr));
    std::fclose(file);
    return certificate;
}

class InspectorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        origin_ca_ = testing::MakeTestCa("Test Origin CA");
        testing::WriteCertificatePem(dir_.file("origin-ca.pem"), origin_ca_.certificate.get());
        ::mkdir(dir_.file("data").c_str(), 0700);
        ::mkdir(dir_.file("no-anchors").c_str(), 0700);
        InspectorOptions options;
        options.folder = dir_.file("data");
        options.system_anchors = dir_.file("no-anchors");
        options.extra_ca_file = dir_.file("origin-ca.pem");
        std::string problem;
        bool created = false;
        inspector_ = Inspector::Open(options, problem, created);
        ASSERT_NE(inspector_, nullptr) << problem;
        authority_ = ReadCertificate(inspector_->CertificatePath());
        ASSERT_TRUE(authority_);
    }

    HandshakeWait Wait(int timeout_ms = 5000) const {
        HandshakeWait wait;
        wait.timeout_ms = timeout_ms;
        wait.step_ms = 50;
        return wait;
    }

    testing::TempDir dir_;
    Credentials origin_ca_;
    std::shared_ptr<Inspector> inspector_;
    X509Ptr authority_;
    SocketRegistry registry_;
};

// ---- The client's side ----

struct ClientCase {
    const char* label;
    const char* sni;           // empty: none sent
    const char* connect_host;  // the CONNECT line's host
    std::string alpn;          // wire form; empty: none offered
    bool trusts_authority;
    HandshakeEnd end;
    const char* name_or_reason;  // the certificate's name when done, else the reason
    // The only suites the client offers, over TLS 1.2 at most; null: OpenSSL's defaults.
    const char* tls12_suites = nullptr;
};

struct ClientOutcome {
    bool handshake = false;
    std::string alpn;
    std::string got;
};

class AcceptClientTest : public InspectorTest, public ::testing::WithParamInterface<ClientCase> {
  protected:
    // The test client: verifies the certificate for the name it expects, sends "ping", reads
    // four bytes and ends with close_notify.
    void RunClient(Socket& socket, const ClientCase& row, ClientOutcome& out) {
        Credentials stranger = testing::MakeTestCa("Stranger");
        SslContextPtr context = testing::TestClientContext(
            row.trusts_authority ? authority_.get() : stranger.certificate.get());
        SslPtr ssl(SSL_new(context.get()));
        SSL_set_fd(ssl.get(), socket.fd());
        std::string expected = row.end == HandshakeEnd::kDone ? row.name_or_reason : "x";
        if (*row.sni != '\0') SSL_set_tlsext_host_name(ssl.get(), row.sni);
        CertificateName kind;
        if (NormaliseCertificateName(expected, kind) == NameKind::kAddress) {
            X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl.get()), expected.c_str());
        } else {
            SSL_set1_host(ssl.get(), expected.c_str());
        }
        if (!row.alpn.empty()) {
            SSL_set_alpn_protos(ssl.get(), reinterpret_cast<const unsigned char*>(row.alpn.data()),
                                static_cast<unsigned>(row.alpn.size()));
        }
        if (row.tls12_suites != nullptr) {
            SSL_set_max_proto_version(ssl.get(), TLS1_2_VERSION);
            SSL_set_cipher_list(ssl.get(), row.tls12_suites);
        }
        SSL_set_connect_state(ssl.get());
        out.handshake = testing::RunTestHandshake(ssl.get(), socket);
        if (!out.handshake) return;
        const unsigned char* chosen = nullptr;
        unsigned chosen_length = 0;
        SSL_get0_alpn_selected(ssl.get(), &chosen, &chosen_length);
        out.alpn.assign(reinterpret_cast<const char*>(chosen), chosen_length);
        testing::WriteTls(ssl.get(), socket, "ping");
        out.got = testing::ReadTls(ssl.get(), socket, 4);
        SSL_shutdown(ssl.get());
    }
};

TEST_P(AcceptClientTest, ServesACertificateForTheRightNameOrFails) {
    const ClientCase& row = GetParam();
    testing::SocketPair pair = testing::MakePair(registry_);
    ClientOutcome outcome;
    std::thread client([&] { RunClient(pair.far, row, outcome); });
    std::string server_name;
    std::string reason;
    HandshakeEnd end =
        inspector_->AcceptClient(pair.near, row.connect_host, Wait(), server_name, reason);
    if (end != HandshakeEnd::kDone) pair.near.Close();  // the handler's part: end the client
    EXPECT_EQ(end, row.end) << reason;
    if (end == HandshakeEnd::kDone) {
        EXPECT_EQ(server_name, row.name_or_reason);
        EXPECT_TRUE(pair.near.HasLayer());
        EXPECT_EQ(testing::ReadCount(pair.near, 4), "ping");
        EXPECT_TRUE(testing::WriteAll(pair.near, "pong"));
        // close_notify reads as the end of the stream, not as a break.
        char byte = 0;
        IoResult last{};
        for (int i = 0;
             i < 100 && (last = pair.near.Receive(&byte, 1)).status == IoStatus::kWouldBlock; ++i) {
            pair.near.WaitReadable(50);
        }
        EXPECT_EQ(last.status, IoStatus::kPeerClosed);
        EXPECT_FALSE(pair.near.Broken());
    } else {
        EXPECT_NE(reason.find(row.name_or_reason), std::string::npos) << reason;
        EXPECT_TRUE(server_name.empty());
        EXPECT_FALSE(pair.near.HasLayer());
    }
    client.join();
    EXPECT_EQ(outcome.handshake, row.end == HandshakeEnd::kDone);
    if (row.end == HandshakeEnd::kDone) {
        EXPECT_EQ(outcome.alpn, row.alpn.empty() ? "" : "http/1.1");
        EXPECT_EQ(outcome.got, "pong");
    }
}

const std::string kHttp11("\x08http/1.1", 9);
const std::string kH2AndHttp11("\x02h2\x08http/1.1", 12);
const std::string kH2("\x02h2", 3);

INSTANTIATE_TEST_SUITE_P(
    Clients, AcceptClientTest,
    ::testing::Values(
        ClientCase{"SniName", "WWW.Example.Test", "connect.test", kH2AndHttp11, true,
                   HandshakeEnd::kDone, "www.example.test"},
        ClientCase{"NoSniTakesTheConnectHost", "", "connect.test", kHttp11, true,
                   HandshakeEnd::kDone, "connect.test"},
        ClientCase{"AddressGetsAnAddressName", "", "127.0.0.1", kHttp11, true, HandshakeEnd::kDone,
                   "127.0.0.1"},
        ClientCase{"InvalidSniTakesTheConnectHost", "bad_name-.test", "connect.test", "", true,
                   HandshakeEnd::kDone, "connect.test"},
        ClientCase{"AlpnWithoutHttp11", "a.test", "a.test", kH2, true, HandshakeEnd::kFailed,
                   "no application protocol"},
        ClientCase{"NoUsableName", "", "a..test", kHttp11, true, HandshakeEnd::kFailed, "no name"},
        ClientCase{"ClientDoesNotTrustTheAuthority", "a.test", "a.test", kHttp11, false,
                   HandshakeEnd::kFailed, "unknown CA"},
        // Over TLS 1.2, forward-secret AEAD suites only.
        ClientCase{"Tls12GcmSuite", "a.test", "a.test", kHttp11, true, HandshakeEnd::kDone,
                   "a.test", "ECDHE-ECDSA-AES128-GCM-SHA256:ECDHE-RSA-AES128-GCM-SHA256"},
        ClientCase{"Tls12ChaChaSuite", "a.test", "a.test", kHttp11, true, HandshakeEnd::kDone,
                   "a.test", "ECDHE-ECDSA-CHACHA20-POLY1305:ECDHE-RSA-CHACHA20-POLY1305"},
        ClientCase{"Tls12CbcSuitesAreNotOffered", "a.test", "a.test", kHttp11, true,
                   HandshakeEnd::kFailed, "shared cipher",
                   "ECDHE-ECDSA-AES128-SHA:ECDHE-RSA-AES128-SHA:"
                   "ECDHE-ECDSA-AES256-SHA384:ECDHE-RSA-AES256-SHA384"},
        ClientCase{"Tls12CamelliaAndCcmAreNotOffered", "a.test", "a.test", kHttp11, true,
                   HandshakeEnd::kFailed, "shared cipher",
                   "ECDHE-ECDSA-CAMELLIA128-SHA256:ECDHE-RSA-CAMELLIA128-SHA256:"
                   "ECDHE-ECDSA-AES128-CCM8:ECDHE-ECDSA-AES128-CCM"}),
    testing::RowLabel());

// One inspector serves many connections at once: the minting and the cache are shared.
TEST_F(AcceptClientTest, ConnectionsAtOnceShareOneInspector) {
    constexpr int kConnections = 6;
    std::atomic<int> served{0};
    std::vector<std::thread> connections;
    for (int i = 0; i < kConnections; ++i) {
        connections.emplace_back([this, i, &served] {
            // Two connections a name: one may find the other's certificate in the cache.
            std::string name = "host" + std::to_string(i / 2) + ".test";
            ClientCase row{"",   name.c_str(),        "connect.test", kHttp11,
                           true, HandshakeEnd::kDone, name.c_str()};
            testing::SocketPair pair = testing::MakePair(registry_);
            ClientOutcome outcome;
            std::thread client([&] { RunClient(pair.far, row, outcome); });
            std::string server_name;
            std::string reason;
            bool ok = inspector_->AcceptClient(pair.near, "connect.test", Wait(), server_name,
                                               reason) == HandshakeEnd::kDone &&
                      testing::ReadCount(pair.near, 4) == "ping" &&
                      testing::WriteAll(pair.near, "pong");
            client.join();
            if (ok && outcome.got == "pong" && server_name == name) ++served;
        });
    }
    for (std::thread& connection : connections) connection.join();
    EXPECT_EQ(served.load(), kConnections);
}

// A client's session resumes in a tunnel to the host it began in, never in another's.
TEST_F(InspectorTest, ASessionResumesOnlyInATunnelToItsOwnHost) {
    for (int version : {TLS1_2_VERSION, TLS1_3_VERSION}) {
        SCOPED_TRACE(version);
        SslContextPtr context = testing::TestClientContext(authority_.get());
        SSL_CTX_set_max_proto_version(context.get(), version);
        // Resumed or not; `kept` gets the session when asked for.
        auto connect = [&](const char* connect_host, SSL_SESSION* resume, SSL_SESSION** kept) {
            testing::SocketPair pair = testing::MakePair(registry_);
            std::thread server([&] {
                std::string name;
                std::string reason;
                if (inspector_->AcceptClient(pair.near, connect_host, Wait(), name, reason) ==
                        HandshakeEnd::kDone &&
                    testing::ReadCount(pair.near, 4) == "ping") {
                    testing::WriteAll(pair.near, "pong");
                }
            });
            SslPtr ssl(SSL_new(context.get()));
            SSL_set_fd(ssl.get(), pair.far.fd());
            SSL_set_tlsext_host_name(ssl.get(), "a.test");
            SSL_set1_host(ssl.get(), "a.test");
            if (resume != nullptr) SSL_set_session(ssl.get(), resume);
            SSL_set_connect_state(ssl.get());
            bool reused = false;
            if (testing::RunTestHandshake(ssl.get(), pair.far)) {
                testing::WriteTls(ssl.get(), pair.far, "ping");
                EXPECT_EQ(testing::ReadTls(ssl.get(), pair.far, 4), "pong");
                reused = SSL_session_reused(ssl.get()) == 1;
                if (kept != nullptr) *kept = SSL_get1_session(ssl.get());
                SSL_shutdown(ssl.get());
            }
            server.join();
            return reused;
        };
        SSL_SESSION* session = nullptr;
        EXPECT_FALSE(connect("a.test", nullptr, &session));
        ASSERT_NE(session, nullptr);
        EXPECT_TRUE(connect("a.test", session, nullptr));
        EXPECT_FALSE(connect("b.test", session, nullptr));
        SSL_SESSION_free(session);
    }
}

TEST_F(InspectorTest, AClientThatNeverSpeaksTimesOutAndAStopOrRevocationEndsTheWait) {
    testing::SocketPair silent = testing::MakePair(registry_);
    std::string name;
    std::string reason;
    EXPECT_EQ(inspector_->AcceptClient(silent.near, "a.test", Wait(200), name, reason),
              HandshakeEnd::kTimeout);
    EXPECT_EQ(reason, "timeout");

    HandshakeWait stop = Wait();
    std::atomic<int> asked{0};
    stop.context = &asked;
    stop.stopping = [](void* context) { return ++*static_cast<std::atomic<int>*>(context) > 2; };
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(inspector_->AcceptClient(silent.near, "a.test", stop, name, reason),
              HandshakeEnd::kStopped);
    EXPECT_LT(testing::MillisecondsSince(start), 2000);

    std::thread revoke([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        registry_.Revoke(silent.near.fd());
    });
    EXPECT_EQ(inspector_->ConnectOrigin(silent.near, "a.test", "443", Wait(), reason),
              HandshakeEnd::kStopped);
    revoke.join();
}

TEST_F(InspectorTest, BytesHeldByTheLayerAreSeenAndAnEndWithoutCloseNotifyIsAnEnd) {
    testing::SocketPair pair = testing::MakePair(registry_);
    ClientCase row{"", "a.test", "a.test", "", true, HandshakeEnd::kDone, "a.test"};
    std::atomic<bool> written{false};
    std::thread client([&] {
        SslContextPtr context = testing::TestClientContext(authority_.get());
        SslPtr ssl(SSL_new(context.get()));
        SSL_set_fd(ssl.get(), pair.far.fd());
        SSL_set_tlsext_host_name(ssl.get(), row.sni);
        SSL_set_connect_state(ssl.get());
        if (!testing::RunTestHandshake(ssl.get(), pair.far)) return;
        testing::WriteTls(ssl.get(), pair.far, "0123456789");
        written = true;
        testing::PollUntil([&] { return !written.load(); });
        pair.far.Close();  // no close_notify
    });
    std::string name;
    std::string reason;
    ASSERT_EQ(inspector_->AcceptClient(pair.near, "a.test", Wait(), name, reason),
              HandshakeEnd::kDone)
        << reason;
    ASSERT_TRUE(testing::PollUntil([&] { return written.load(); }));
    EXPECT_EQ(testing::ReadCount(pair.near, 4), "0123");
    EXPECT_TRUE(pair.near.HasPendingBytes());
    EXPECT_EQ(pair.near.WaitReadable(0), PollResult::kReady);
    EXPECT_EQ(testing::ReadCount(pair.near, 6), "456789");
    EXPECT_FALSE(pair.near.HasPendingBytes());
    written = false;
    bool closed = false;
    EXPECT_EQ(testing::ReadToClose(pair.near, &closed, 5000), "");
    EXPECT_TRUE(closed);
    client.join();
}

// Read ahead takes a record's first half off the socket: that half is no byte to receive,
// and a wait must sleep on the socket, not spin. Pieces sent together arrive whole.
TEST_F(InspectorTest, AHalfRecordIsWaitedForAndPiecesPastOneRecordArriveWhole) {
    testing::SocketPair pair = testing::MakePair(registry_);
    const std::string big(20000, 'x');
    std::atomic<int> step{0};
    std::string echoed;
    std::thread client([&] {
        SslContextPtr context = testing::TestClientContext(authority_.get());
        SslPtr ssl(SSL_new(context.get()));
        SSL_set_fd(ssl.get(), pair.far.fd());
        SSL_set_tlsext_host_name(ssl.get(), "a.test");
        SSL_set_connect_state(ssl.get());
        if (!testing::RunTestHandshake(ssl.get(), pair.far)) return;
        // The record is written into memory and sent in two halves by hand.
        BIO* written = BIO_new(BIO_s_mem());
        SSL_set0_wbio(ssl.get(), written);
        SSL_write(ssl.get(), "0123456789", 10);
        char* record = nullptr;
        long length = BIO_get_mem_data(written, &record);
        testing::WriteAll(pair.far, std::string_view(record, 7));
        step = 1;
        testing::PollUntil([&] { return step.load() == 2; });
        testing::WriteAll(pair.far, std::string_view(record + 7, length - 7));
        echoed = testing::ReadTls(ssl.get(), pair.far, big.size() + 4);
    });
    std::string name;
    std::string reason;
    ASSERT_EQ(inspector_->AcceptClient(pair.near, "a.test", Wait(), name, reason),
              HandshakeEnd::kDone)
        << reason;
    ASSERT_TRUE(testing::PollUntil([&] { return step.load() == 1; }));
    char buffer[16];
    EXPECT_EQ(pair.near.Receive(buffer, sizeof buffer).status, IoStatus::kWouldBlock);
    EXPECT_FALSE(pair.near.HasPendingBytes());
    EXPECT_EQ(pair.near.WaitReadable(100), PollResult::kTimeout);
    step = 2;
    EXPECT_EQ(testing::ReadCount(pair.near, 10), "0123456789");

    std::string_view left[3] = {"ab", big, "cd"};
    for (int first = 0; first < 3;) {
        IoResult put = pair.near.SendPieces(left + first, 3 - first);
        if (put.status == IoStatus::kWouldBlock) {
            ASSERT_EQ(pair.near.WaitWritable(5000), PollResult::kReady);
            continue;
        }
        ASSERT_EQ(put.status, IoStatus::kOk);
        for (auto moved = static_cast<std::size_t>(put.bytes); moved > 0;) {
            std::size_t take = std::min(moved, left[first].size());
            left[first].remove_prefix(take);
            moved -= take;
            if (left[first].empty()) ++first;
        }
    }
    client.join();
    EXPECT_EQ(echoed, "ab" + big + "cd");
}

// ---- The origin's side ----

enum class OriginCertificate {
    kGood,
    kGoodAddress,
    kUnknownIssuer,
    kExpired,
    kNotYetValid,
    kWrongName,
    kCommonNameOnly,
    kWrongAddress,
    kSelfSigned,
};

struct OriginCase {
    const char* label;
    OriginCertificate certificate;
    const char* host;
    int max_version;  // 0: any
    HandshakeEnd end;
    const char* reason;
};

// What the test origin saw.
struct OriginView {
    std::string sni;
    std::string alpn_offered;
    std::string request;
};

int RecordAlpn(SSL*, const unsigned char** out, unsigned char* out_length, const unsigned char* in,
               unsigned int in_length, void* arg) {
    static_cast<OriginView*>(arg)->alpn_offered.assign(reinterpret_cast<const char*>(in),
                                                       in_length);
    return SSL_select_next_proto(const_cast<unsigned char**>(out), out_length, in, in_length, in,
                                 in_length) == OPENSSL_NPN_NEGOTIATED
               ? SSL_TLSEXT_ERR_OK
               : SSL_TLSEXT_ERR_NOACK;
}

class ConnectOriginTest : public InspectorTest, public ::testing::WithParamInterface<OriginCase> {
  protected:
    Credentials CertificateFor(OriginCertificate kind) {
        testing::LeafOptions options;
        switch (kind) {
            case OriginCertificate::kGood:
                return testing::MakeTestLeaf(&origin_ca_, options);
            case OriginCertificate::kGoodAddress:
                options.dns.clear();
                options.ip = "127.0.0.1";
                return testing::MakeTestLeaf(&origin_ca_, options);
            case OriginCertificate::kUnknownIssuer: {
                Credentials stranger = testing::MakeTestCa("Stranger");
                return testing::MakeTestLeaf(&stranger, options);
            }
            case OriginCertificate::kExpired:
                options.from_seconds = -10 * 86400;
                options.to_seconds = -86400;
                return testing::MakeTestLeaf(&origin_ca_, options);
            case OriginCertificate::kNotYetValid:
                options.from_seconds = 86400;
                return testing::MakeTestLeaf(&origin_ca_, options);
            case OriginCertificate::kWrongName:
                options.dns = "other.test";
                return testing::MakeTestLeaf(&origin_ca_, options);
            case OriginCertificate::kCommonNameOnly:
                options.alternative_names = false;
                return testing::MakeTestLeaf(&origin_ca_, options);
            case OriginCertificate::kWrongAddress:
                options.dns.clear();
                options.ip = "127.0.0.2";
                return testing::MakeTestLeaf(&origin_ca_, options);
            case OriginCertificate::kSelfSigned:
                return testing::MakeTestLeaf(nullptr, options);
        }
        return {};
    }
};

TEST_P(ConnectOriginTest, VerifiesTheOriginBeforeAnyRequestReachesIt) {
    const OriginCase& row = GetParam();
    Credentials served = CertificateFor(row.certificate);
    SslContextPtr context = testing::TestServerContext(served, row.max_version);
    OriginView view;
    SSL_CTX_set_alpn_select_cb(context.get(), RecordAlpn, &view);
    uint16_t port = 0;
    Socket listener = testing::ListenLoopback(registry_, port);
    std::thread origin([&] {
        Socket connection = testing::AcceptOne(listener);
        SslPtr ssl(SSL_new(context.get()));
        SSL_set_fd(ssl.get(), connection.fd());
        SSL_set_accept_state(ssl.get());
        if (!testing::RunTestHandshake(ssl.get(), connection)) return;
        const char* sni = SSL_get_servername(ssl.get(), TLSEXT_NAMETYPE_host_name);
        view.sni = sni != nullptr ? sni : "";
        view.request = testing::ReadTls(ssl.get(), connection, 4);
        testing::WriteTls(ssl.get(), connection, "pong");
    });
    Socket socket = testing::ConnectLoopback(registry_, port);
    std::string reason;
    HandshakeEnd end =
        inspector_->ConnectOrigin(socket, row.host, std::to_string(port), Wait(), reason);
    EXPECT_EQ(end, row.end) << reason;
    if (end == HandshakeEnd::kDone) {
        EXPECT_TRUE(socket.HasLayer());
        EXPECT_TRUE(testing::WriteAll(socket, "ping"));
        EXPECT_EQ(testing::ReadCount(socket, 4), "pong");
    } else {
        EXPECT_FALSE(socket.HasLayer());
        EXPECT_EQ(reason.rfind(row.reason, 0), 0u) << reason;
        EXPECT_EQ(reason.find('\n'), std::string::npos);
    }
    socket.Close();
    origin.join();
    if (row.end == HandshakeEnd::kDone) {
        EXPECT_EQ(view.request, "ping");
        bool address = row.certificate == OriginCertificate::kGoodAddress;
        EXPECT_EQ(view.sni, address ? "" : row.host);
        EXPECT_EQ(view.alpn_offered, kHttp11);
    } else {
        EXPECT_EQ(view.request, "") << "a request reached an origin that did not verify";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Origins, ConnectOriginTest,
    ::testing::Values(
        OriginCase{"Good", OriginCertificate::kGood, "localhost", 0, HandshakeEnd::kDone, ""},
        OriginCase{"GoodAddress", OriginCertificate::kGoodAddress, "127.0.0.1", 0,
                   HandshakeEnd::kDone, ""},
        OriginCase{"UnknownIssuer", OriginCertificate::kUnknownIssuer, "localhost", 0,
                   HandshakeEnd::kFailed, "証明書を確認できません: 発行者を確認できません"},
        OriginCase{"Expired", OriginCertificate::kExpired, "localhost", 0, HandshakeEnd::kFailed,
                   "証明書を確認できません: 有効期限が切れています"},
        OriginCase{"NotYetValid", OriginCertificate::kNotYetValid, "localhost", 0,
                   HandshakeEnd::kFailed, "証明書を確認できません: まだ有効になっていません"},
        OriginCase{"WrongName", OriginCertificate::kWrongName, "localhost", 0,
                   HandshakeEnd::kFailed, "証明書を確認できません: 名前がホスト名と一致しません"},
        OriginCase{"CommonNameOnly", OriginCertificate::kCommonNameOnly, "localhost", 0,
                   HandshakeEnd::kFailed, "証明書を確認できません: 名前がホスト名と一致しません"},
        OriginCase{"WrongAddress", OriginCertificate::kWrongAddress, "127.0.0.1", 0,
                   HandshakeEnd::kFailed, "証明書を確認できません: 名前がホスト名と一致しません"},
        OriginCase{"SelfSigned", OriginCertificate::kSelfSigned, "localhost", 0,
                   HandshakeEnd::kFailed, "証明書を確認できません: 自己署名の証明書です"},
        OriginCase{"OldTlsOnly", OriginCertificate::kGood, "localhost", TLS1_1_VERSION,
                   HandshakeEnd::kFailed, "TLSで接続できません: "}),
    testing::RowLabel());

}  // namespace
}  // namespace korvanel
