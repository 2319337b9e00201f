// GNOME's proxy settings (org.gnome.system.proxy), which GNOME, Cinnamon, Budgie, Unity,
// Pantheon and MATE keep, and which the Chromium-based browsers follow under those desktops.
// They are read and written with GLib's gsettings program, run directly (no shell).
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvanel {

namespace gnome_proxy {
inline constexpr const char kProgram[] = "gsettings";
inline constexpr const char kProxy[] = "org.gnome.system.proxy";
inline constexpr const char kHttp[] = "org.gnome.system.proxy.http";
inline constexpr const char kHttps[] = "org.gnome.system.proxy.https";
inline constexpr const char kMode[] = "mode";
inline constexpr const char kManual[] = "'manual'";
inline constexpr const char kNone[] = "'none'";
inline constexpr const char kLoopback[] = "'127.0.0.1'";
}  // namespace gnome_proxy

// One key and its value in GVariant's text form, as gsettings prints and takes it.
struct GSetting {
    std::string schema;
    std::string key;
    std::string value;
    bool operator==(const GSetting&) const = default;
};

// The keys the proxy changes, with the values that point the desktop at 127.0.0.1:`port`:
// the HTTP proxy, and the HTTPS proxy too when `tunnel` (else none, so that HTTPS is not
// sent to a proxy that refuses it; "use the same proxy" off for the same reason).
std::vector<GSetting> GnomeProxySettings(std::string_view port, bool tunnel);

// Kept values as lines "schema key value", and back.
std::string FormatGSettings(const std::vector<GSetting>& settings);
std::vector<GSetting> ParseGSettings(std::string_view text);

class GSettingsTool {
  public:
    // `path` empty: gsettings on PATH.
    GSettingsTool(std::string path, std::chrono::milliseconds limit);

    bool Found() const { return !path_.empty(); }
    // The value of a key; nothing, with `problem` said, when it cannot be read.
    std::optional<std::string> Get(const std::string& schema, const std::string& key,
                                   std::string& problem) const;
    bool Set(const GSetting& setting, std::string& problem) const;

  private:
    std::string path_;
    std::chrono::milliseconds limit_;
};

}  // namespace korvanel
