// Pointing Opera (edition 32 or 64) at the proxy and back. Each command closes the running
// Opera of that edition, edits its preferences file through a working copy beside it, and
// starts Opera again. Every failure ends the command silently, with the browser lock
// released.
//
// With the proxy's tunnels on, set points the "HTTPS server" lines at it as well, after
// keeping the lines the file had; reset (and set with tunnels off) gives them back. With
// inspection on, set also adds the user's CA to the user's NSS database (~/.pki/nssdb),
// which Chromium-based browsers read, and reset removes it.
#pragma once

#include "browser/browser_host.h"

namespace korvanel {

struct Runtime;

// Opera's folder below HOME, by edition.
inline constexpr const char kOperaFolder32[] = ".opera";
inline constexpr const char kOperaFolder64[] = ".opera-x64";

// Thread bodies, run under the browser lock; the caller waits for them. `edition` is 32 or
// 64 (anything else ends the command at once).
void SetOperaProxy(Runtime& rt, const BrowserHost& host, int edition);
void ResetOperaProxy(Runtime& rt, const BrowserHost& host, int edition);

}  // namespace korvanel
