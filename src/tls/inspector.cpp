#include "tls/inspector.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>

#include <ctime>
#include <memory>
#include <type_traits>

#include "platform/socket.h"
#include "platform/termination_signals.h"
#include "texts.h"
#include "tls/authority.h"
#include "tls/certificate_name.h"
#include "tls/handshake.h"
#include "tls/leaf_cache.h"
#include "tls/leaf_mint.h"
#include "tls/origin_sessions.h"
#include "tls/tls_stream.h"
#include "tls/trust_file.h"

namespace korvanel {

namespace {

class OpenSslInspector;

// The files an inspector was made from, as they stood on disk.
struct TrustFileIdentities {
    FileIdentity certificate;
    FileIdentity key;
    FileIdentity extra_anchors;

    bool operator==(const TrustFileIdentities&) const = default;
};

TrustFileIdentities IdentitiesOf(const AuthorityFiles& files, const std::string& extra_ca_file) {
    return {IdentityOf(files.certificate), IdentityOf(files.key), IdentityOf(extra_ca_file)};
}

// The certificate as PEM text; empty when OpenSSL fails.
std::string PemOf(X509* certificate) {
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio || PEM_write_bio_X509(bio.get(), certificate) != 1) return {};
    char* data = nullptr;
    long length = BIO_get_mem_data(bio.get(), &data);
    return length > 0 ? std::string(data, static_cast<std::size_t>(length)) : std::string();
}

// The client's handshake, as the servername callback needs it.
struct ClientHandshake {
    HandshakeNotes notes;  // first: the SSL's application data points here
    OpenSslInspector* inspector = nullptr;
    std::string_view connect_host;
    CertificateName name;
};
static_assert(std::is_standard_layout_v<ClientHandshake>);

class OpenSslInspector final : public Inspector {
  public:
    OpenSslInspector(std::unique_ptr<LeafMint> mint, SslContextPtr server, SslContextPtr client,
                     AuthorityFiles files, std::string certificate_pem, std::string extra_ca_file,
                     TrustFileIdentities identities)
        : mint_(std::move(mint)),
          server_(std::move(server)),
          client_(std::move(client)),
          files_(std::move(files)),
          certificate_pem_(std::move(certificate_pem)),
          extra_ca_file_(std::move(extra_ca_file)),
          identities_(identities) {
        sessions_.Watch(client_.get());
    }

    HandshakeEnd AcceptClient(Socket& client, std::string_view connect_host,
                              const HandshakeWait& wait, std::string& server_name,
                              std::string& reason) override;
    HandshakeEnd ConnectOrigin(Socket& origin, std::string_view host, std::string_view port,
                               const HandshakeWait& wait, std::string& reason) override;
    const std::string& CertificatePath() const override { return files_.certificate; }
    const std::string& CertificatePem() const override { return certificate_pem_; }
    const std::string& ExtraCaFile() const override { return extra_ca_file_; }
    bool FilesChanged() const override {
        return !(IdentitiesOf(files_, extra_ca_file_) == identities_);
    }

    // The certificate for `name`, from the cache or minted now.
    X509Ptr LeafFor(const CertificateName& name) {
        std::time_t now = std::time(nullptr);
        if (X509Ptr kept = cache_.Find(name.view(), now)) return kept;
        X509Ptr minted = mint_->Mint(name, now);
        if (minted) cache_.Put(name.view(), ShareCertificate(minted.get()));
        return minted;
    }
    EVP_PKEY* LeafKey() const { return mint_->key(); }

  private:
    std::unique_ptr<LeafMint> mint_;
    LeafCache cache_;
    OriginSessions sessions_;
    SslContextPtr server_;
    SslContextPtr client_;
    AuthorityFiles files_;
    std::string certificate_pem_;
    std::string extra_ca_file_;
    TrustFileIdentities identities_;
};

// Chooses the certificate once the client's hello is read: for the SNI name, else the
// CONNECT host.
int ChooseCertificate(SSL* ssl, int* alert, void*) {
    auto* handshake = static_cast<ClientHandshake*>(SSL_get_ex_data(ssl, 0));
    if (handshake == nullptr) {
        *alert = SSL_AD_INTERNAL_ERROR;
        return SSL_TLSEXT_ERR_ALERT_FATAL;
    }
    const char* sni = SSL_get_servername(ssl, TLSEXT_NAMETYPE_host_name);
    if (ChooseCertificateName(sni != nullptr ? sni : "", handshake->connect_host,
                              handshake->name) == NameKind::kNone) {
        handshake->notes.failure = "no name for a certificate";
        *alert = SSL_AD_UNRECOGNIZED_NAME;
        return SSL_TLSEXT_ERR_ALERT_FATAL;
    }
    X509Ptr leaf = handshake->inspector->LeafFor(handshake->name);
    if (!leaf ||
        SSL_use_cert_and_key(ssl, leaf.get(), handshake->inspector->LeafKey(), nullptr, 1) != 1) {
        handshake->notes.failure = "no certificate could be made";
        *alert = SSL_AD_INTERNAL_ERROR;
        return SSL_TLSEXT_ERR_ALERT_FATAL;
    }
    return SSL_TLSEXT_ERR_OK;
}

// http/1.1 or nothing: a client that offers protocols without it is refused with
// no_application_protocol rather than spoken to in a protocol it did not offer.
int SelectHttp11(SSL* ssl, const unsigned char** out, unsigned char* out_length,
                 const unsigned char* offered, unsigned int offered_length, void*) {
    const unsigned char* found = FindHttp11(offered, offered_length);
    if (found != nullptr) {
        *out = found;
        *out_length = kAlpnHttp11[0];
        return SSL_TLSEXT_ERR_OK;
    }
    auto* handshake = static_cast<ClientHandshake*>(SSL_get_ex_data(ssl, 0));
    if (handshake != nullptr) handshake->notes.failure = "no application protocol";
    return SSL_TLSEXT_ERR_ALERT_FATAL;
}

// A client's session resumes only in a tunnel to the host it began in: its context is that
// host's digest, and OpenSSL resumes no session of another context (by id or by ticket).
bool TieSessionsTo(SSL* ssl, std::string_view connect_host) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    return EVP_Digest(connect_host.data(), connect_host.size(), digest, &length, EVP_sha256(),
                      nullptr) == 1 &&
           length <= SSL_MAX_SID_CTX_LENGTH && SSL_set_session_id_context(ssl, digest, length) == 1;
}

HandshakeEnd OpenSslInspector::AcceptClient(Socket& client, std::string_view connect_host,
                                            const HandshakeWait& wait, std::string& server_name,
                                            std::string& reason) {
    server_name.clear();
    reason.clear();
    SslPtr ssl(SSL_new(server_.get()));
    if (!ssl || SSL_set_fd(ssl.get(), client.fd()) != 1) {
        ERR_clear_error();
        reason = "no TLS session";
        return HandshakeEnd::kFailed;
    }
    if (!TieSessionsTo(ssl.get(), connect_host)) {
        ERR_clear_error();
        reason = "no TLS session";
        return HandshakeEnd::kFailed;
    }
    SSL_set_accept_state(ssl.get());
    ClientHandshake handshake;
    handshake.inspector = this;
    handshake.connect_host = connect_host;
    SSL_set_ex_data(ssl.get(), 0, &handshake);
    HandshakeEnd end = DriveHandshake(client, ssl.get(), wait);
    SSL_set_ex_data(ssl.get(), 0, nullptr);
    if (end != HandshakeEnd::kDone) {
        reason = ClientFailureReason(ERR_peek_last_error(), handshake.notes, end);
        ERR_clear_error();
        return end;
    }
    server_name.assign(handshake.name.view());
    client.AttachLayer(std::make_unique<TlsStream>(std::move(ssl)));
    return HandshakeEnd::kDone;
}

HandshakeEnd OpenSslInspector::ConnectOrigin(Socket& origin, std::string_view host,
                                             std::string_view port, const HandshakeWait& wait,
                                             std::string& reason) {
    reason.clear();
    CertificateName name;
    if (NormaliseCertificateName(host, name) == NameKind::kNone) {
        reason = std::string(text::kCertificateUnverified) + text::kNameMismatch;
        return HandshakeEnd::kFailed;
    }
    SslPtr ssl(SSL_new(client_.get()));
    bool ready = ssl && SSL_set_fd(ssl.get(), origin.fd()) == 1;
    if (ready && name.kind == NameKind::kAddress) {
        ready = X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl.get()), name.text) == 1;
    } else if (ready) {
        // As browsers do: the name must be among the subject alternative names; a common
        // name alone does not count, and a wildcard stands for one whole label.
        SSL_set_hostflags(
            ssl.get(), X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS | X509_CHECK_FLAG_NEVER_CHECK_SUBJECT);
        ready = SSL_set_tlsext_host_name(ssl.get(), name.text) == 1 &&
                SSL_set1_host(ssl.get(), name.text) == 1;
    }
    // A session this origin gave before, verified for this very name and port, resumes.
    if (ready && !port.empty()) {
        ready = sessions_.Prepare(ssl.get(), std::string(name.view()) + ":" + std::string(port));
    }
    if (!ready) {
        ERR_clear_error();
        reason = std::string(text::kTlsFailed) + text::kTlsSetupFailed;
        return HandshakeEnd::kFailed;
    }
    SSL_set_connect_state(ssl.get());
    HandshakeNotes notes;
    SSL_set_ex_data(ssl.get(), 0, &notes);
    HandshakeEnd end = DriveHandshake(origin, ssl.get(), wait);
    SSL_set_ex_data(ssl.get(), 0, nullptr);
    // The handshake verifies (SSL_VERIFY_PEER); the result is asked again so that no path
    // through OpenSSL's callbacks can let an unverified origin through.
    long verified = SSL_get_verify_result(ssl.get());
    if (end == HandshakeEnd::kDone &&
        (verified != X509_V_OK || SSL_get0_peer_certificate(ssl.get()) == nullptr)) {
        end = HandshakeEnd::kFailed;
    }
    if (end != HandshakeEnd::kDone) {
        if (end != HandshakeEnd::kStopped) {
            reason = OriginFailureReason(verified, ERR_peek_last_error(), notes, end);
        }
        ERR_clear_error();
        return end;
    }
    origin.AttachLayer(std::make_unique<TlsStream>(std::move(ssl)));
    return HandshakeEnd::kDone;
}

// What a browser is offered over TLS 1.2: forward secrecy with AEAD suites only, as the
// "intermediate" profile that servers are commonly set up by has it (no CBC, CAMELLIA, ARIA
// or CCM suites). TLS 1.3's own suites are all of that kind already.
constexpr char kBrowserTls12Suites[] =
    "ECDHE-ECDSA-AES128-GCM-SHA256:ECDHE-RSA-AES128-GCM-SHA256:"
    "ECDHE-ECDSA-AES256-GCM-SHA384:ECDHE-RSA-AES256-GCM-SHA384:"
    "ECDHE-ECDSA-CHACHA20-POLY1305:ECDHE-RSA-CHACHA20-POLY1305";

SslContextPtr MakeServerContext() {
    SslContextPtr context(SSL_CTX_new(TLS_server_method()));
    if (!context) return nullptr;
    SSL_CTX* c = context.get();
    static constexpr unsigned char kSessionContext[] = "korvanel inspector";
    bool ok = SSL_CTX_set_min_proto_version(c, TLS1_2_VERSION) == 1 &&
              SSL_CTX_set_cipher_list(c, kBrowserTls12Suites) == 1 &&
              SSL_CTX_set_session_id_context(c, kSessionContext, sizeof kSessionContext - 1) == 1;
    SetStreamModes(c, BareEnd::kEnd);
    SSL_CTX_set_tlsext_servername_callback(c, ChooseCertificate);
    SSL_CTX_set_alpn_select_cb(c, SelectHttp11, nullptr);
    SSL_CTX_set_info_callback(c, NoteAlerts);
    return ok ? std::move(context) : nullptr;
}

bool IsDirectory(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// A file of anchors may be a whole bundle.
constexpr std::size_t kMaxAnchorFile = 16 << 20;

// The certificates of the user's file of anchors (PEM), read as a file trust rests on: the
// user's own or the system's, not through a link. False with `problem` when it cannot be
// read or holds no certificate.
bool AddExtraAnchors(SSL_CTX* context, const std::string& path, std::string& problem) {
    std::string pem;
    mode_t mode = 0;
    TrustFileRead read =
        ReadTrustFile(path, TrustFileOwner::kUserOrRoot, kMaxAnchorFile, pem, mode);
    if (read != TrustFileRead::kRead) {
        problem = TrustFileProblem(read, text::kExtraCaUnreadable, path);
        return false;
    }
    BioPtr bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    STACK_OF(X509_INFO)* infos =
        bio ? PEM_X509_INFO_read_bio(bio.get(), nullptr, nullptr, nullptr) : nullptr;
    X509_STORE* store = SSL_CTX_get_cert_store(context);
    int added = 0;
    for (int i = 0; infos != nullptr && i < sk_X509_INFO_num(infos); ++i) {
        X509_INFO* info = sk_X509_INFO_value(infos, i);
        if (info->x509 != nullptr && X509_STORE_add_cert(store, info->x509) == 1) ++added;
    }
    sk_X509_INFO_pop_free(infos, X509_INFO_free);
    ERR_clear_error();
    if (added == 0) {
        problem = std::string(text::kExtraCaUnreadable) + path;
        return false;
    }
    return true;
}

SslContextPtr MakeClientContext(const InspectorOptions& options, std::string& problem) {
    SslContextPtr context(SSL_CTX_new(TLS_client_method()));
    if (!context) {
        problem = text::kTlsSetupFailed;
        return nullptr;
    }
    SSL_CTX* c = context.get();
    SSL_CTX_set_min_proto_version(c, TLS1_2_VERSION);
    SSL_CTX_set_verify(c, SSL_VERIFY_PEER, nullptr);
    // Every chain ends at an anchor of its own: an intermediate in the store is no anchor.
    X509_VERIFY_PARAM_clear_flags(SSL_CTX_get0_param(c), X509_V_FLAG_PARTIAL_CHAIN);
    SetStreamModes(c, BareEnd::kCut);
    SSL_CTX_set_info_callback(c, NoteAlerts);
    if (SSL_CTX_set_alpn_protos(c, kAlpnHttp11, sizeof kAlpnHttp11) != 0) {
        problem = text::kTlsSetupFailed;
        return nullptr;
    }
    // The system's anchors from its hashed folder (Debian's /etc/ssl/certs): each is read
    // when a chain first needs it, where the bundle file would put every one in memory.
    const std::string system =
        options.system_anchors.empty() ? X509_get_default_cert_dir() : options.system_anchors;
    bool anchored = IsDirectory(system) ? SSL_CTX_load_verify_dir(c, system.c_str()) == 1
                                        : SSL_CTX_load_verify_file(c, system.c_str()) == 1;
    if (!anchored) {
        ERR_clear_error();
        problem = std::string(text::kSystemAnchorsUnreadable) + system;
        return nullptr;
    }
    if (!options.extra_ca_file.empty() && !AddExtraAnchors(c, options.extra_ca_file, problem)) {
        return nullptr;
    }
    return context;
}

}  // namespace

std::shared_ptr<Inspector> Inspector::Open(const InspectorOptions& options, std::string& problem,
                                           bool& created) {
    created = false;
    problem.clear();
    // OpenSSL writes to the descriptor with write(), which raises SIGPIPE on a closed peer.
    IgnoreBrokenPipe();
    // The anchors first: a setting that cannot work makes no files.
    SslContextPtr client = MakeClientContext(options, problem);
    if (!client) return nullptr;
    SslContextPtr server = MakeServerContext();
    if (!server) {
        ERR_clear_error();
        problem = text::kTlsSetupFailed;
        return nullptr;
    }
    AuthorityFiles files = AuthorityFilesIn(options.folder);
    // Taken before the files are read: a change while they are read shows at the next look.
    TrustFileIdentities identities = IdentitiesOf(files, options.extra_ca_file);
    std::time_t now = std::time(nullptr);
    Authority authority;
    switch (LoadAuthority(files, now, authority, problem)) {
        case AuthorityLoad::kLoaded:
            break;
        case AuthorityLoad::kRefused:
            return nullptr;
        case AuthorityLoad::kMissing:
            if (!options.create) {
                problem = std::string(text::kAuthorityMissing) + files.certificate;
                return nullptr;
            }
            if (!MakeAuthority(MachineName(), now, authority)) {
                problem = text::kAuthorityNotMade;
                return nullptr;
            }
            if (!WriteAuthority(authority, files, problem)) return nullptr;
            identities = IdentitiesOf(files, options.extra_ca_file);
            created = true;
            break;
    }
    std::string pem = PemOf(authority.certificate.get());
    std::unique_ptr<LeafMint> mint = LeafMint::Make(authority);
    if (!mint || pem.empty()) {
        problem = text::kTlsSetupFailed;
        return nullptr;
    }
    return std::make_shared<OpenSslInspector>(std::move(mint), std::move(server), std::move(client),
                                              std::move(files), std::move(pem),
                                              options.extra_ca_file, identities);
}

bool MakeNewAuthority(const std::string& folder, std::string& problem) {
    problem.clear();
    Authority authority;
    if (!MakeAuthority(MachineName(), std::time(nullptr), authority)) {
        problem = text::kAuthorityNotMade;
        return false;
    }
    return WriteAuthority(authority, AuthorityFilesIn(folder), problem);
}

}  // namespace korvanel
