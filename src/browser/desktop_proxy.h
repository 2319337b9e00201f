// Pointing the desktop's proxy settings at the proxy and back: the settings that Chrome,
// Chromium, Edge, Brave, Vivaldi and today's Opera follow on Linux (and every other program
// that follows the desktop's settings). GNOME-family desktops keep them in GSettings, KDE in
// kioslaverc. The values there before a set are kept beside `data` and given back by the
// reset; no browser is closed or started, since these browsers follow the settings as they
// change. Each outcome is a line in the command log.
#pragma once

#include <string_view>

#include "browser/browser_host.h"

namespace korvanel {

struct Runtime;

enum class Desktop { kNone, kGnome, kKde };

// Which settings a desktop named by XDG_CURRENT_DESKTOP (a list separated by ":") keeps.
Desktop DesktopOf(std::string_view current_desktop);

// The values there before the set: "gnome" or "kde" on the first line, then the kept keys.
inline constexpr const char kDesktopKeptFile[] = "desktop-proxy-before";

// Thread bodies, run under the browser lock; the caller waits for them.
void SetDesktopProxy(Runtime& rt, const BrowserHost& host);
void ResetDesktopProxy(Runtime& rt, const BrowserHost& host);

}  // namespace korvanel
