#include "browser/firefox_profile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "browser/browser_files.h"
#include "platform/process_table.h"

namespace korvanel {
namespace {

// Below $HOME, after the XDG folder: the older folder of plain installs, then the snap's
// and the Flatpak's, each in its XDG and its older form.
constexpr const char* kFirefoxBelowHome[] = {
    ".mozilla/firefox",
    "snap/firefox/common/.config/mozilla/firefox",
    "snap/firefox/common/.mozilla/firefox",
    ".var/app/org.mozilla.firefox/.config/mozilla/firefox",
    ".var/app/org.mozilla.firefox/config/mozilla/firefox",
    ".var/app/org.mozilla.firefox/.mozilla/firefox",
};
constexpr const char kLockLink[] = "lock";
constexpr const char kBelowConfig[] = "mozilla/firefox/";
constexpr const char kConfigBelowHome[] = ".config/";
// An ini file larger than this is no profiles.ini.
constexpr std::streamsize kIniLimit = 1 << 20;

struct Section {
    std::string name;
    std::string path;
    std::string install_default;
    bool relative = true;
    bool is_default = false;
    bool has_path = false;
};

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && std::strchr("\n\r ", text.back())) text.remove_suffix(1);
    return text;
}

// Trailing line ends, spaces and slashes go.
std::string PathOf(std::string_view value) {
    while (!value.empty() && std::strchr("\n\r /\\", value.back())) value.remove_suffix(1);
    return std::string(value);
}

std::vector<Section> ReadSections(std::string_view ini) {
    std::vector<Section> sections;
    Section loose;  // lines before any section header
    while (!ini.empty()) {
        std::size_t end = ini.find('\n');
        std::string_view line = ini.substr(0, std::min<std::size_t>(end, kProfilesLineLimit));
        ini.remove_prefix(end == std::string_view::npos ? ini.size() : end + 1);
        line = Trimmed(line);
        if (line.starts_with('[')) {
            sections.push_back({});
            sections.back().name = line.substr(1, line.find(']') - 1);
            continue;
        }
        Section& current = sections.empty() ? loose : sections.back();
        std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        std::string_view key = line.substr(0, equals);
        std::string_view value = line.substr(equals + 1);
        if (key == "Path") {
            current.path = PathOf(value);
            current.has_path = true;
        } else if (key == "IsRelative") {
            current.relative = std::atoi(std::string(value).c_str()) != 0;
        } else if (key == "Default") {
            current.install_default = PathOf(value);
            current.is_default = value == "1";
        }
    }
    if (loose.has_path) sections.insert(sections.begin(), loose);
    return sections;
}

// An [Install…] section of profiles.ini; every section of installs.ini names an install.
bool IsInstall(const Section& section, bool installs_ini = false) {
    return (installs_ini || section.name.starts_with("Install")) &&
           !section.install_default.empty() && !section.has_path;
}

// The profiles the [Install…] sections name, taking each one's relativity from its
// profile section (an absolute path stands alone).
std::vector<ProfilePath> InstallDefaults(const std::vector<Section>& installs,
                                         const std::vector<Section>& profiles, bool installs_ini) {
    std::vector<ProfilePath> found;
    for (const Section& install : installs) {
        if (!IsInstall(install, installs_ini)) continue;
        ProfilePath profile{install.install_default, install.install_default[0] != '/'};
        for (const Section& section : profiles) {
            if (section.has_path && section.path == profile.path) {
                profile.relative = section.relative;
                break;
            }
        }
        if (std::find(found.begin(), found.end(), profile) == found.end()) {
            found.push_back(profile);
        }
    }
    return found;
}

std::string ReadSmallFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::string text(static_cast<std::size_t>(kIniLimit), '\0');
    in.read(text.data(), kIniLimit);
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text;
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The same folder reached by two names (a link) counts once.
bool SameFolder(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

}  // namespace

std::vector<ProfilePath> ProfilesInUse(std::string_view profiles_ini,
                                       std::string_view installs_ini) {
    std::vector<Section> sections = ReadSections(profiles_ini);
    std::vector<ProfilePath> found = InstallDefaults(sections, sections, false);
    if (found.empty()) found = InstallDefaults(ReadSections(installs_ini), sections, true);
    if (!found.empty()) return found;
    const Section* first = nullptr;
    for (const Section& section : sections) {
        if (!section.has_path || section.path.empty() || IsInstall(section)) continue;
        if (section.is_default) return {{section.path, section.relative}};
        if (!first) first = &section;
    }
    if (first) return {{first->path, first->relative}};
    return {};
}

std::vector<std::string> FirefoxFolders() {
    std::string home = HomeFolder("");
    if (home.empty()) return {};
    std::vector<std::string> folders;
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') {
        std::string folder(config);
        if (!folder.ends_with('/')) folder += '/';
        folders.push_back(folder + kBelowConfig);
    }
    folders.push_back(home + kConfigBelowHome + kBelowConfig);
    for (const char* below : kFirefoxBelowHome) folders.push_back(home + below + "/");
    return folders;
}

FirefoxProfiles FindFirefoxProfiles() {
    FirefoxProfiles found;
    found.looked_in = FirefoxFolders();
    std::vector<std::string> searched;
    for (const std::string& firefox : found.looked_in) {
        if (!IsFolder(firefox)) continue;
        bool seen = std::any_of(searched.begin(), searched.end(), [&](const std::string& other) {
            return SameFolder(other, firefox);
        });
        if (seen) continue;
        searched.push_back(firefox);
        std::string profiles = ReadSmallFile(firefox + kProfilesIni);
        if (profiles.empty()) continue;
        for (const ProfilePath& profile :
             ProfilesInUse(profiles, ReadSmallFile(firefox + kInstallsIni))) {
            if (profile.path.empty()) continue;
            std::string folder = (profile.relative ? firefox + profile.path : profile.path) + "/";
            if (folder.size() > kProfileFolderLimit || !IsFolder(folder)) continue;
            bool twice =
                std::any_of(found.folders.begin(), found.folders.end(),
                            [&](const std::string& other) { return SameFolder(other, folder); });
            if (!twice) found.folders.push_back(folder);
        }
    }
    return found;
}

int FirefoxLockHolder(const std::string& profile_folder) {
    char target[256];
    std::string link = profile_folder + kLockLink;
    ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
    if (length <= 0) return 0;
    target[length] = '\0';
    const char* plus = std::strrchr(target, '+');
    if (!plus) return 0;
    int pid = std::atoi(plus + 1);
    return ProcessIsRunning(pid) ? pid : 0;
}

}  // namespace korvanel
