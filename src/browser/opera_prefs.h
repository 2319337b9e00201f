// Opera's preferences file: which of its names the folder holds, and the edits of its
// "HTTP server" and "Use HTTP" lines. Lines end with CR LF, or with LF alone in the files
// Opera writes on Linux: every edit uses the line end the file's first line has.
#pragma once

#include <string>
#include <string_view>

#include "browser/edit_buffer.h"

namespace korvanel {

namespace opera_pref {
// In the order they are looked for.
inline constexpr std::string_view kFileNames[] = {"OperaDef6.ini", "opera6.ini", "Operaprefs.ini"};
inline constexpr std::string_view kWorkingCopyPrefix = "backup_";
// The edited file is written under this name beside the preferences file, then renamed
// over it.
inline constexpr std::string_view kReplacementSuffix = ".new";
// The HTTPS lines the file had before they were pointed at the proxy wait under the file's
// name with this added, until they are given back.
inline constexpr std::string_view kHttpsBeforeSuffix = ".korvanel-https";
// Each key is looked for at the start of a line (after a line end).
inline constexpr std::string_view kHttpServer = "HTTP server";
inline constexpr std::string_view kHttpServerValue = "HTTP server=";
inline constexpr std::string_view kProxyHost = "127.0.0.1";
inline constexpr std::string_view kUseHttp = "Use HTTP";
inline constexpr std::string_view kUseHttpOn = "Use HTTP=1";
inline constexpr std::string_view kUseHttpOff = "Use HTTP=0";
// The HTTPS server lines, pointed at the proxy only while its tunnels are on.
inline constexpr std::string_view kHttpsServer = "HTTPS server";
inline constexpr std::string_view kHttpsServerValue = "HTTPS server=";
inline constexpr std::string_view kUseHttps = "Use HTTPS";
inline constexpr std::string_view kUseHttpsOn = "Use HTTPS=1";
inline constexpr std::string_view kCrLf = "\r\n";
inline constexpr std::string_view kLf = "\n";
}  // namespace opera_pref

// The line end of `text`: LF when its first line ends with LF alone, else CR LF.
std::string_view PrefsLineEnd(std::string_view text);

// The name, as the folder spells it, of the first preferences file found in `folder`
// (names compared without regard to case); "" when there is none.
std::string FindOperaPrefsFile(const std::string& folder);

// "HTTP server=127.0.0.1:`port`" and "Use HTTP=1".
void ApplyOperaSetEdits(EditBuffer& prefs, std::string_view port);
// "HTTP server" without a value and "Use HTTP=0".
void ApplyOperaResetEdits(EditBuffer& prefs);

// The "HTTPS server" and "Use HTTPS" lines of `text` as they stand, each followed by LF
// (empty when there are none): what the HTTPS lines are given back to later.
std::string OperaHttpsLines(std::string_view text);
// After the set edits: "HTTPS server=127.0.0.1:`port`" (replaced, or put after the "HTTP
// server" line) and "Use HTTPS=1" (replaced, or put after the "HTTPS server" line).
void ApplyOperaHttpsSetEdits(EditBuffer& prefs, std::string_view port);
// Each of the two lines given back as `remembered` (OperaHttpsLines) holds it; a line it
// does not hold is removed.
void ApplyOperaHttpsGiveBack(EditBuffer& prefs, std::string_view remembered);

}  // namespace korvanel
