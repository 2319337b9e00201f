// Certificates for the hosts a client asks for, signed by the user's authority. One key
// serves every host of an inspector: minting is then a signature, not a key generation.
#pragma once

#include <ctime>
#include <memory>

#include "tls/authority.h"
#include "tls/certificate_name.h"

namespace korvanel {

// A minted certificate lives 30 days (never past the authority's end), from an hour back.
inline constexpr long kLeafLifetimeSeconds = 30L * 24 * 60 * 60;

class LeafMint {
  public:
    // Shares the authority's certificate and key; makes the leaf key. Null when OpenSSL fails.
    static std::unique_ptr<LeafMint> Make(const Authority& authority);

    // A certificate for `name` (kHost or kAddress): CN the name (cut to 64), the name as a DNS
    // or IP subject alternative name, serverAuth, CA:FALSE, the authority's key identifier,
    // a random serial. Null when OpenSSL fails or `name` is kNone.
    X509Ptr Mint(const CertificateName& name, std::time_t now) const;

    EVP_PKEY* key() const { return key_.get(); }
    X509* authority() const { return authority_.certificate.get(); }

  private:
    LeafMint() = default;

    Authority authority_;
    EvpKeyPtr key_;
    std::time_t authority_end_ = 0;
};

}  // namespace korvanel
