#include "browser/firefox_profile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "browser/browser_files.h"

namespace korvanel {
namespace {

constexpr std::string_view kIsRelative = "IsRelative=";
constexpr std::string_view kPath = "Path=";

// The path of the first "Path=" line with its trailing line ends, spaces and slashes
// removed; false when there is none. `relative` follows the "IsRelative=" lines before it.
bool ReadProfilePath(std::FILE* ini, std::string& path, bool& relative) {
    char line[kProfilesLineLimit + 1];
    while (std::fgets(line, sizeof line, ini)) {
        std::string_view text = line;
        if (text.starts_with(kIsRelative)) {
            relative = std::atoi(line + kIsRelative.size()) != 0;
        } else if (text.starts_with(kPath)) {
            text.remove_prefix(kPath.size());
            while (!text.empty() && std::strchr("\n\r /\\", text.back())) text.remove_suffix(1);
            path = text;
            return true;
        }
    }
    return false;
}

}  // namespace

std::string FindFirefoxProfile() {
    std::string firefox = HomeFolder(kFirefoxFolder);
    if (firefox.empty()) return {};
    std::FILE* ini = std::fopen((firefox + kProfilesIni).c_str(), "r");
    if (!ini) return {};
    std::string path;
    bool relative = true;
    bool found = ReadProfilePath(ini, path, relative);
    std::fclose(ini);
    if (!found || path.empty()) return {};
    std::string folder = relative ? firefox + path : path;
    folder += '/';
    return folder.size() <= kProfileFolderLimit ? folder : std::string();
}

}  // namespace korvanel
