// The one settings record and its five lists. Guarded as a whole by the settings lock:
// readers copy what they need under it and release it before any network I/O.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fixed_text.h"
#include "runtime/list_rows.h"
#include "runtime/tunnel_values.h"

namespace korvanel {

inline constexpr int kTagSwitchCount = 56;
inline constexpr int kTagRowsPerGroup = 4;
inline constexpr int kUserAgentCapacity = 200;
inline constexpr int kProxyCapacity = 200;
inline constexpr int kHeaderRuleCapacity = 100;
inline constexpr int kEnabledHeaderRuleLimit = 15;

// One digit as text: where a log goes.
namespace log_mode {
inline constexpr std::string_view kPaneOnly = "0";
inline constexpr std::string_view kFileOnly = "1";
inline constexpr std::string_view kPaneAndFile = "2";
inline constexpr std::string_view kOff = "3";
}  // namespace log_mode

using LogMode = FixedText<4>;

// The tag of each of the 56 rows, in their fixed order, four rows to a tag kind.
extern const std::array<std::string_view, kTagSwitchCount> kTagSwitchTags;

// Placeholder address of the checker CGI: replace the host with the one that hosts
// the checker CGI (build/korvanel-checker, see the README).
inline constexpr std::string_view kDefaultCheckAddress = "http://checker.example.net/dizu8d.cgi";

struct Settings {
    std::array<TagSwitch, kTagSwitchCount> tag_switches;
    FixedText<66> localorpassive;
    FixedText<48> allow_user;
    FixedText<5> http_version;
    LogMode access_log;
    LogMode send_header_log;
    LogMode recv_header_log;
    LogMode send_recv_header_log;
    FixedText<8> port;
    FixedText<222> proxy;
    // What the proxy in use speaks (its row's kind; HTTP when no row names it).
    UpstreamKind proxy_kind = UpstreamKind::kHttp;
    FixedText<4> cookie;
    FixedText<4> setcookie;
    FixedText<255> agent;
    FixedText<4> auto_start;
    FixedText<16> color;
    FixedText<256> checkproxyaddress;
    int window_width = 0;
    int window_height = 0;
    int split_pos = 300;
    int window_x = 0;
    int window_y = 0;
    // CONNECT tunnels: off unless the user turns them on, and the ports they may go to.
    bool https_tunnel = false;
    TunnelPorts tunnel_ports;
    // HTTPS inspection (only where tunnels are on): off unless the user turns it on, the
    // hosts it leaves alone, and a file of more trust anchors for origins (a path or empty).
    bool https_inspect = false;
    std::vector<std::string> inspect_except;
    std::string extra_ca_file;
    // The proxies' logins, by address, from the logins file beside `data` (never written
    // into `data`). `logins_version` counts their changes in this run: a save writes the
    // file only after one.
    std::vector<ProxyLogin> proxy_logins;
    std::uint64_t logins_version = 0;

    // The login of the proxy at `address`, or null.
    const ProxyLogin* LoginOf(std::string_view address) const;

    // Inspection takes connections only where tunnels are on.
    bool InspectsHttps() const { return https_tunnel && https_inspect; }

    RowList<UserAgentEntry> user_agents;
    RowList<ProxyEntry> proxies;
    HeaderRuleList send_headers;
    HeaderRuleList recv_headers;

    // Derived: 1 when a row with value "1" has a tag other than "dummy".
    int tag_filter_active = 0;

    // The values before any file is read.
    Settings();
};

// The state a newly created `data` file gives.
void ApplyNewFileDefaults(Settings& settings);

// 1 when some tag row is on and is not a "dummy" row, else 0 (the caller holds the lock).
int ComputeTagFilterActive(const Settings& settings);

}  // namespace korvanel
