// The user's own certificate authority: an EC P-256 key and a self-signed CA certificate
// kept as two PEM files in the program's folder, the key readable by the user alone.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

#include "tls/openssl_handles.h"

namespace korvanel {

struct Authority {
    X509Ptr certificate;
    EvpKeyPtr key;
};

struct AuthorityFiles {
    std::string certificate;  // PEM, mode 0644
    std::string key;          // PEM, mode 0600
};

AuthorityFiles AuthorityFilesIn(const std::string& folder);

// Seconds an authority is valid from its making (two years), and how far back its start
// lies (an hour, for clocks a little behind).
inline constexpr long kAuthorityLifetimeSeconds = 730L * 24 * 60 * 60;
inline constexpr long kBackdateSeconds = 60L * 60;

// A new authority for `machine` (its name goes into the subject's CN), valid from `now`
// less an hour for two years. False when OpenSSL fails.
bool MakeAuthority(std::string_view machine, std::time_t now, Authority& out);

// Writes the pair under temporary names beside the files (the key created 0600, never
// readable by others for a moment), then renames both over the files. False with `problem`
// when anything fails; the files that were there are then as they were.
bool WriteAuthority(const Authority& authority, const AuthorityFiles& files, std::string& problem);

enum class AuthorityLoad {
    kLoaded,
    kMissing,  // neither file exists
    kRefused,  // `problem` says why
};

// Reads the pair. Refused: a key file group or others may access, unreadable or unparsable
// files, one file without the other, a certificate that is not a CA, not the key's, or no
// longer valid at `now`.
AuthorityLoad LoadAuthority(const AuthorityFiles& files, std::time_t now, Authority& out,
                            std::string& problem);

// The machine's name for the authority's subject.
std::string MachineName();

// The end of a certificate's validity as a time_t; 0 when it cannot be read.
std::time_t NotAfterOf(const X509* certificate);

}  // namespace korvanel
