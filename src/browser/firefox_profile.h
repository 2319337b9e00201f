// Which Firefox profiles the current user's Firefox opens. Firefox keeps its profiles in one
// of several folders, by how it was installed (the XDG folder new installs use, the older
// ~/.mozilla/firefox, the snap's and the Flatpak's); each holds a profiles.ini, and each
// install of Firefox opens the profile its [Install…] section names.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korvanel {

inline constexpr const char kProfilesIni[] = "profiles.ini";
inline constexpr const char kInstallsIni[] = "installs.ini";
// profiles.ini is read in pieces of at most this many characters, each taken as a line.
inline constexpr int kProfilesLineLimit = 510;
// The longest profile folder, its final "/" included.
inline constexpr std::size_t kProfileFolderLimit = 509;

// A profile as an ini file names it: its Path= text, and whether it lies below the folder
// of the ini file.
struct ProfilePath {
    std::string path;
    bool relative = true;
    bool operator==(const ProfilePath&) const = default;
};

// The profiles Firefox opens, by the text of profiles.ini and of installs.ini (empty when
// there is none): the Default= of every [Install…] section of profiles.ini, else of
// installs.ini; else the profile marked Default=1; else the first profile. Each once, in the
// order of the file. Paths lose their trailing line ends, spaces and slashes; an
// IsRelative= other than 0 (or none) means below the folder.
std::vector<ProfilePath> ProfilesInUse(std::string_view profiles_ini,
                                       std::string_view installs_ini);

// The folders Firefox may keep its profiles in, each ending in "/": $XDG_CONFIG_HOME (else
// ~/.config) /mozilla/firefox, ~/.mozilla/firefox, and both inside the snap's and the
// Flatpak's home. Empty when HOME is unset, empty or too long.
std::vector<std::string> FirefoxFolders();

struct FirefoxProfiles {
    std::vector<std::string> folders;    // each ending in "/", each once
    std::vector<std::string> looked_in;  // every folder searched, for a message
};

// The profile folders of every Firefox folder that holds a profiles.ini. A folder longer
// than kProfileFolderLimit, or one that does not exist, is left out.
FirefoxProfiles FindFirefoxProfiles();

// The PID of the Firefox that holds the profile's lock (the link "lock" -> "address:+PID" that
// Firefox makes in a profile it opens), while that process runs; 0 otherwise.
int FirefoxLockHolder(const std::string& profile_folder);

}  // namespace korvanel
