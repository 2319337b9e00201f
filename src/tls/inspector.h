// Inspection of HTTPS: the client's TLS handshake taken with a certificate this program
// mints for the requested host, signed by the user's own authority, and the program's own
// TLS connection to the origin, verified against the system's trust store (and an extra
// file of anchors the user names) and the host name. Both leave a TLS layer on the socket:
// the request road above reads and writes plain bytes.
//
// An Inspector holds one authority, its minted certificates and the two TLS contexts. It
// is shared: handlers keep their own reference for a connection's life, so a new authority
// (or new anchors) takes effect for new connections while old ones end as they began.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "tls/handshake_wait.h"

namespace korvanel {

class Socket;

struct InspectorOptions {
    std::string folder;         // where korvanel-ca.pem and korvanel-ca.key live
    std::string extra_ca_file;  // more trust anchors for origins (PEM); empty: none
    bool create = true;         // make the authority when its files are missing
    // The system's anchors; empty: OpenSSL's default paths (Debian's ca-certificates).
    // Tests point it at a folder of their own.
    std::string system_anchors;
};

class Inspector {
  public:
    virtual ~Inspector() = default;

    // Loads (or, when missing and asked for, makes) the authority in `options.folder` and
    // the origin anchors. Null on failure, with `problem` saying what failed (a key file
    // others may read is refused). `created` is set when new files were made.
    static std::shared_ptr<Inspector> Open(const InspectorOptions& options, std::string& problem,
                                           bool& created);

    // The client's handshake on `client`, which has been told the tunnel stands. The
    // certificate is for the name the client sent (SNI), else `connect_host`; an address
    // gets an address in its names. Only http/1.1 is offered by ALPN. `server_name` gets
    // the name the certificate was made for.
    virtual HandshakeEnd AcceptClient(Socket& client, std::string_view connect_host,
                                      const HandshakeWait& wait, std::string& server_name,
                                      std::string& reason) = 0;

    // The handshake with the origin on `origin`, connected already (straight or through a
    // proxy's tunnel): SNI `host` (not for an address), ALPN http/1.1, TLS 1.2 or newer, the
    // chain verified and the host name (or address) checked. Nothing turns this off.
    // `port` (the origin's, as text) keeps a session the origin gave to that origin alone:
    // the next connection to it resumes.
    virtual HandshakeEnd ConnectOrigin(Socket& origin, std::string_view host, std::string_view port,
                                       const HandshakeWait& wait, std::string& reason) = 0;

    // The authority's certificate file (PEM), for the user.
    virtual const std::string& CertificatePath() const = 0;
    // The authority's certificate this inspector signs with (PEM), for the browsers: what
    // lies in the file now may be another.
    virtual const std::string& CertificatePem() const = 0;
    // True when the authority's files or the extra anchors file were replaced, rewritten,
    // made or removed since this inspector read them.
    virtual bool FilesChanged() const = 0;
    // The extra anchors file this inspector was opened with.
    virtual const std::string& ExtraCaFile() const = 0;
};

// Replaces the authority in `folder` with a new one (new key, new certificate). False
// with `problem` on failure; the old files are then left as they were.
bool MakeNewAuthority(const std::string& folder, std::string& problem);

}  // namespace korvanel
