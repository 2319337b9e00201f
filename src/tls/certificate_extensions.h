// Small steps shared by the authority and the minted certificates.
#pragma once

#include <openssl/x509.h>

namespace korvanel {

// A random positive 128-bit serial number.
bool SetRandomSerial(X509* certificate);

// Adds one X.509 v3 extension written in OpenSSL's configuration syntax (`value` comes from
// this program, never from the network unchecked), with `issuer` for the key identifiers.
bool AddExtension(X509* certificate, X509* issuer, int nid, const char* value);

}  // namespace korvanel
