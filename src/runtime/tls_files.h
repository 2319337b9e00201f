// The names of the files of the user's own certificate authority, kept in the folder that
// holds `data`. The key is readable by the user only.
#pragma once

namespace korvanel {

inline constexpr const char* kAuthorityCertificateFile = "korvanel-ca.pem";
inline constexpr const char* kAuthorityKeyFile = "korvanel-ca.key";

}  // namespace korvanel
