// KDE's proxy settings: the [Proxy Settings] group of kioslaverc, which KDE's own programs
// and the Chromium-based browsers read under KDE. The file is edited as text, keeping every
// other line as it is, and KDE is told of the change as its settings module tells it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvanel {

namespace kde_proxy {
inline constexpr const char kFileName[] = "kioslaverc";
inline constexpr std::string_view kGroup = "Proxy Settings";
inline constexpr std::string_view kType = "ProxyType";
inline constexpr std::string_view kHttp = "httpProxy";
inline constexpr std::string_view kHttps = "httpsProxy";
// ProxyType: 0 no proxy, 1 the proxies named here.
inline constexpr std::string_view kManual = "1";
inline constexpr std::string_view kNoProxy = "0";
}  // namespace kde_proxy

// One key of a group, or its absence (no value).
struct IniEntry {
    std::string key;
    std::optional<std::string> value;
    bool operator==(const IniEntry&) const = default;
};

// The values `keys` have in `group` of the ini text, absent ones without a value.
std::vector<IniEntry> ReadIniEntries(std::string_view text, std::string_view group,
                                     const std::vector<std::string_view>& keys);
// The text with each entry set in `group` (in place when the key is there, else after the
// group's last key; the group is added at the end when missing) or removed (no value).
// Every other byte stays as it was.
std::string WriteIniEntries(std::string_view text, std::string_view group,
                            const std::vector<IniEntry>& entries);

// The proxy address as KDE writes it: "http://127.0.0.1 PORT".
std::string KdeProxyValue(std::string_view port);

// $XDG_CONFIG_HOME/kioslaverc, else ~/.config/kioslaverc; "" without a HOME.
std::string KioslavercPath();

}  // namespace korvanel
