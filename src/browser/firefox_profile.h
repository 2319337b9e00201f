// Where the current user's Firefox profile lives, by the profiles.ini of Firefox's folder
// ($HOME/.mozilla/firefox/).
#pragma once

#include <string>

namespace korvanel {

inline constexpr const char kFirefoxFolder[] = ".mozilla/firefox";
inline constexpr const char kProfilesIni[] = "profiles.ini";
// profiles.ini is read in pieces of at most this many characters, each taken as a line.
inline constexpr int kProfilesLineLimit = 510;
// The longest profile folder, its final "/" included.
inline constexpr std::size_t kProfileFolderLimit = 509;

// The profile folder, ending in "/", or "" when there is none: HOME unset, no profiles.ini,
// no "Path=" line, or a folder longer than kProfileFolderLimit. The first "Path=" line
// counts; an "IsRelative=" line before it says whether the path is below Firefox's folder
// (a number other than 0, the default) or stands alone.
std::string FindFirefoxProfile();

}  // namespace korvanel
