// Firefox's preference lines as plain text: the three edit primitives and the edits that
// point Firefox at the proxy (set) or back to a direct connection (reset).
#pragma once

#include <string>
#include <string_view>

#include "browser/edit_buffer.h"

namespace korvanel {

namespace firefox_pref {
inline constexpr std::string_view kPrefStart = "user_pref(\"";
inline constexpr std::string_view kHttpHost = "user_pref(\"network.proxy.http\"";
inline constexpr std::string_view kHttpHostLineStart = "user_pref(\"network.proxy.http\", \"";
inline constexpr std::string_view kProxyHost = "127.0.0.1";
inline constexpr std::string_view kHttpHostLineEnd = "\");\r\n";
inline constexpr std::string_view kHttpPort = "user_pref(\"network.proxy.http_port\",";
inline constexpr std::string_view kProxyType = "user_pref(\"network.proxy.type\"";
inline constexpr std::string_view kProxyTypeLineStart = "user_pref(\"network.proxy.type\",";
inline constexpr std::string_view kAnchor = "user_pref(\"network.cookie.prefs\"";
inline constexpr std::string_view kNumberLineEnd = ");\r\n";
// The HTTPS (SSL) proxy, pointed at the proxy only while its tunnels are on.
inline constexpr std::string_view kSslHost = "user_pref(\"network.proxy.ssl\"";
inline constexpr std::string_view kSslHostLineStart = "user_pref(\"network.proxy.ssl\", \"";
inline constexpr std::string_view kSslPort = "user_pref(\"network.proxy.ssl_port\",";
// Firefox's own defaults: a pref given its default value is no longer kept in prefs.js.
inline constexpr std::string_view kSslHostCleared = "user_pref(\"network.proxy.ssl\", \"\");\r\n";
inline constexpr std::string_view kSslPortCleared = "user_pref(\"network.proxy.ssl_port\",0);\r\n";
// What reset gives the HTTP proxy's host and port: Firefox's defaults, which make Firefox drop
// the lines from prefs.js (a line left out of user.js would leave prefs.js's value standing).
inline constexpr std::string_view kHttpHostCleared = "user_pref(\"network.proxy.http\", \"\");\r\n";
inline constexpr std::string_view kHttpPortCleared =
    "user_pref(\"network.proxy.http_port\",0);\r\n";
inline constexpr std::string_view kManualProxy = "1";
inline constexpr std::string_view kDirectConnection = "0";
}  // namespace firefox_pref

// The next pref is the next "user_pref(\"" after the first character of a match.
//
// Replaces the text from the first occurrence of `pattern` up to the next pref by `line`;
// nothing changes when the pattern is missing or no pref follows it. True when replaced.
bool ReplacePref(EditBuffer& prefs, std::string_view pattern, std::string_view line);
// ReplacePref with an empty line.
bool RemovePref(EditBuffer& prefs, std::string_view pattern);
// Inserts `line` just before the pref that follows the first occurrence of `anchor`;
// nothing changes when the anchor is missing or no pref follows it.
bool InsertPrefAfter(EditBuffer& prefs, std::string_view anchor, std::string_view line);

// Appends `line` at the end unless the text holds it already: the last line of a pref in
// user.js is the one Firefox keeps, so the line counts whatever came before it.
void EnsurePrefLine(EditBuffer& prefs, std::string_view line);

// Manual HTTP proxy at 127.0.0.1:`port`: the lines are replaced in place or put after the
// anchor, and any of them that could be neither (no anchor, or the last pref) is appended.
void ApplyFirefoxSetEdits(EditBuffer& prefs, std::string_view port);
// Direct connection; an HTTP proxy host and port are given Firefox's defaults.
void ApplyFirefoxResetEdits(EditBuffer& prefs);

// The HTTPS proxy lines of `prefs_text` as they stand, each whole with its line end (empty
// when there are none): what the HTTPS proxy is given back to later.
std::string FirefoxHttpsLines(std::string_view prefs_text);
// After the set edits: HTTPS proxy at 127.0.0.1:`port`, placed after the HTTP port line.
void ApplyFirefoxHttpsSetEdits(EditBuffer& prefs, std::string_view port);
// The HTTPS proxy lines given back as `remembered` (FirefoxHttpsLines) holds them; one it
// does not hold is given Firefox's default, so that Firefox forgets it.
void ApplyFirefoxHttpsGiveBack(EditBuffer& prefs, std::string_view remembered);

}  // namespace korvanel
