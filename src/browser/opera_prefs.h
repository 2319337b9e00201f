// Opera's preferences file: which of its names the folder holds, and the edits of its
// "HTTP server" and "Use HTTP" lines (lines end with CR LF).
#pragma once

#include <string>
#include <string_view>

#include "browser/edit_buffer.h"

namespace korvanel {

namespace opera_pref {
// In the order they are looked for.
inline constexpr std::string_view kFileNames[] = {"OperaDef6.ini", "opera6.ini", "Operaprefs.ini"};
inline constexpr std::string_view kWorkingCopyPrefix = "backup_";
inline constexpr std::string_view kHttpServer = "\r\nHTTP server";
inline constexpr std::string_view kHttpServerValue = "\r\nHTTP server=";
inline constexpr std::string_view kProxyHost = "127.0.0.1";
inline constexpr std::string_view kUseHttp = "\r\nUse HTTP";
inline constexpr std::string_view kUseHttpOn = "\r\nUse HTTP=1";
inline constexpr std::string_view kUseHttpOff = "\r\nUse HTTP=0";
inline constexpr std::string_view kLineEnd = "\r\n";
}  // namespace opera_pref

// The name, as the folder spells it, of the first preferences file found in `folder`
// (names compared without regard to case); "" when there is none.
std::string FindOperaPrefsFile(const std::string& folder);

// "HTTP server=127.0.0.1:`port`" and "Use HTTP=1".
void ApplyOperaSetEdits(EditBuffer& prefs, std::string_view port);
// "HTTP server" without a value and "Use HTTP=0".
void ApplyOperaResetEdits(EditBuffer& prefs);

}  // namespace korvanel
