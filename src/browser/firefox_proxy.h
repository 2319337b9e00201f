// Pointing Firefox at the proxy and back. Each command closes a running Firefox, hands an
// edited copy of each used profile's prefs.js (firefox_profile.h) to Firefox as the
// profile's user.js while Firefox starts again, and removes it once the started Firefox has
// opened the profile: Firefox reads user.js after prefs.js and keeps the values in prefs.js
// from then on. prefs.js itself is never written here.
//
// A user's own user.js is kept aside meanwhile and put back once Firefox has started. The
// command log names each profile set or reset, one that could not be written or that no
// Firefox opened, and the folders looked in when there was no profile.
//
// With the proxy's tunnels on, set points the HTTPS proxy at it as well, after keeping the
// HTTPS proxy lines prefs.js had; reset (and set with tunnels off) gives them back. With
// inspection on, set also adds the user's CA to the profile's certificate database, and
// reset removes it.
#pragma once

#include "browser/browser_host.h"

namespace korvanel {

struct Runtime;

namespace firefox_file {
inline constexpr const char kPrefs[] = "prefs.js";
inline constexpr const char kUserJs[] = "user.js";
inline constexpr const char kWorkingCopy[] = "backup_prefs.jp";
// Where a user's own user.js waits while the edited copy stands in for it.
inline constexpr const char kKeptUserJs[] = "user.js.korvanel-kept";
// The HTTPS proxy lines prefs.js had before they were pointed at the proxy, kept until they
// are given back.
inline constexpr const char kHttpsBefore[] = "prefs.js.korvanel-https";
}  // namespace firefox_file

// Thread bodies, run under the browser lock; the caller waits for them.
// Manual HTTP proxy 127.0.0.1 with the configured port (HTTPS too with tunnels on).
void SetFirefoxProxy(Runtime& rt, const BrowserHost& host);
// Direct connection.
void ResetFirefoxProxy(Runtime& rt, const BrowserHost& host);

}  // namespace korvanel
