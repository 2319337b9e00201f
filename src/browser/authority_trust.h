// The user's CA in a browser's NSS certificate database (a Firefox profile, or ~/.pki/nssdb
// for the Chromium-based browsers), added and removed with NSS's certutil, run directly with
// a time limit. Every outcome the user should know of is a line in the command log; a
// missing certutil or a failure is said there and never holds the command up.
#pragma once

#include <string>
#include <string_view>

#include "browser/browser_host.h"

namespace korvanel {

struct Runtime;

inline constexpr const char kAuthorityNickname[] = "KORVANEL CA";
// The database a Chromium-based browser reads on Linux, below $HOME.
inline constexpr const char kSharedNssFolder[] = ".pki/nssdb";

// Trusts the certificate `authority_pem` (the one the open inspector signs with; empty when
// none is open, and then nothing is added) for web sites in the database in `folder`: copies
// under the nickname are removed first, so that a new CA replaces the old one. A missing
// database is made (empty password), and a missing folder too (mode 0700). `browser` names
// it in the log line. True when the CA is in the database afterwards.
bool TrustAuthority(Runtime& rt, const BrowserHost& host, std::string_view browser,
                    const std::string& folder, std::string_view authority_pem);

// Removes every copy under the nickname from the database in `folder`, when there is one.
// The log says so when a copy was removed or a removal failed; `quiet_without_tool` keeps
// a missing certutil unsaid (the user never asked for the CA then).
void DistrustAuthority(Runtime& rt, const BrowserHost& host, std::string_view browser,
                       const std::string& folder, bool quiet_without_tool);

}  // namespace korvanel
