#include "settings/config_sections.h"

#include <array>
#include <cstdio>

#include "settings/config_lines.h"
#include "settings/upstream_rows.h"

namespace korvanel {

namespace {

template <auto Field>
void WriteField(const Settings& s, std::string& out) {
    AppendConfigLine(out, (s.*Field).view());
}

// The reader refuses a value line without a value in these sections, so an empty value is
// written as no value line at all.
template <auto Field>
void WriteFieldIfSet(const Settings& s, std::string& out) {
    if (!(s.*Field).empty()) AppendConfigLine(out, (s.*Field).view());
}

void WriteTagLine(const Settings& s, std::string& out) {
    for (const TagSwitch& row : s.tag_switches) {
        out.append(row.value.view());
        out.push_back(':');
    }
    out.append("\r\n");
}

void WriteUserAgentRows(const Settings& s, std::string& out) {
    char line[600];
    for (const UserAgentEntry& row : s.user_agents.rows) {
        std::snprintf(line, sizeof line, "%s:%d", row.text.c_str(), row.in_use);
        AppendConfigLine(out, line);
    }
}

void WriteProxyRows(const Settings& s, std::string& out) {
    char line[600];
    for (const ProxyEntry& row : s.proxies.rows) {
        std::snprintf(line, sizeof line, "%s:%s:%d:%s", row.speed.c_str(), row.kind.c_str(),
                      row.in_use, row.address.c_str());
        AppendConfigLine(out, line);
    }
}

template <auto List>
void WriteHeaderRows(const Settings& s, std::string& out) {
    char line[600];
    for (const HeaderRule& row : (s.*List).rows) {
        std::snprintf(line, sizeof line, "%d:%d:%s:%s", row.enabled, row.action, row.name.c_str(),
                      row.value.c_str());
        AppendConfigLine(out, line);
    }
}

void WriteHttpsTunnel(const Settings& s, std::string& out) {
    AppendConfigLine(out, FormatTunnelSwitch(s.https_tunnel));
}

void WriteTunnelPorts(const Settings& s, std::string& out) {
    AppendConfigLine(out, FormatTunnelPorts(s.tunnel_ports));
}

void WriteHttpsInspect(const Settings& s, std::string& out) {
    AppendConfigLine(out, FormatTunnelSwitch(s.https_inspect));
}

void WriteInspectExceptions(const Settings& s, std::string& out) {
    for (const std::string& pattern : s.inspect_except) AppendConfigLine(out, pattern);
}

void WriteExtraCaFile(const Settings& s, std::string& out) {
    AppendConfigLine(out, s.extra_ca_file);
}

void WriteGeometry(const Settings& s, std::string& out) {
    char line[80];
    std::snprintf(line, sizeof line, "%d:%d:%d:%d:%d", s.window_width, s.window_height, s.split_pos,
                  s.window_x, s.window_y);
    AppendConfigLine(out, line);
}

// A new file's tag line: every switch off, and no ":" after the last value.
constexpr auto kNewFileTagLine = [] {
    std::array<char, 2 * kTagSwitchCount - 1> line{};
    for (std::size_t i = 0; i < line.size(); ++i) line[i] = i % 2 == 0 ? '0' : ':';
    return line;
}();

using enum SectionShape;
using enum SectionGroup;
using enum DefaultText;

const ConfigSection kSections[] = {
    {":TUG_JOB",
     7,
     kOneLine,
     kAlways,
     StoreTagLine,
     WriteTagLine,
     kHeaderAndValue,
     {kNewFileTagLine.data(), kNewFileTagLine.size()}},
    {":LOCAL_OR_PASSIVE",
     16,
     kOneLine,
     kBindAndRange,
     StoreBindMode,
     WriteField<&Settings::localorpassive>,
     kLeftOut,
     {}},
    {":ALLOW_USER",
     10,
     kOneLine,
     kBindAndRange,
     StoreAllowRange,
     WriteField<&Settings::allow_user>,
     kLeftOut,
     {}},
    {":HTTP_VERSION", 12, kOneLine, kHttpAndLogs, StoreHttpVersion,
     WriteField<&Settings::http_version>, kHeaderAndValue, "1.1"},
    {":ACCESS_LOG", 10, kOneLine, kHttpAndLogs, StoreAccessLog, WriteField<&Settings::access_log>,
     kHeaderAndValue, "0"},
    {":SEND_HEADER_LOG", 15, kOneLine, kHttpAndLogs, StoreSendLog,
     WriteField<&Settings::send_header_log>, kHeaderAndValue, "0"},
    {":RECV_HEADER_LOG", 15, kOneLine, kHttpAndLogs, StoreRecvLog,
     WriteField<&Settings::recv_header_log>, kHeaderAndValue, "0"},
    {":SEND_RECV_HEADER_LOG", 20, kOneLine, kHttpAndLogs, StorePairLog,
     WriteField<&Settings::send_recv_header_log>, kHeaderAndValue, "0"},
    {":KORV_PORT", 9, kOneLine, kAlways, StorePort, WriteField<&Settings::port>, kHeaderAndValue,
     "8080"},
    // A new file writes "0" where the writer writes an empty line for no proxy or agent.
    {":PROXY_SERVER", 12, kOneLine, kAlways, StoreProxy, WriteField<&Settings::proxy>,
     kHeaderAndValue, "0"},
    {":COOKIE", 6, kOneLine, kAlways, StoreCookie, WriteField<&Settings::cookie>, kHeaderAndValue,
     "0"},
    {":SET_COOKIE", 6, kOneLine, kAlways, StoreSetCookie, WriteField<&Settings::setcookie>,
     kHeaderAndValue, "0"},
    {":USER_AGENT", 10, kOneLine, kAlways, StoreAgent, WriteField<&Settings::agent>,
     kHeaderAndValue, "0"},
    {":USER_AGENT_LIST",
     15,
     kLines,
     kAlways,
     StoreUserAgentRow,
     WriteUserAgentRows,
     kHeaderOnly,
     {}},
    {":PROXY_LIST", 10, kLines, kAlways, StoreProxyRow, WriteProxyRows, kHeaderOnly, {}},
    {":SEND_HEADER_LIST",
     16,
     kLines,
     kAlways,
     StoreSendRow,
     WriteHeaderRows<&Settings::send_headers>,
     kHeaderOnly,
     {}},
    {":RECV_HEADER_LIST",
     16,
     kLines,
     kAlways,
     StoreRecvRow,
     WriteHeaderRows<&Settings::recv_headers>,
     kHeaderOnly,
     {}},
    {":AUTO_START", 3, kLines, kAlways, StoreAutoStart, WriteFieldIfSet<&Settings::auto_start>,
     kHeaderAndValue, "0"},
    {":KORVANEL_COLOR", 14, kLines, kAlways, StoreColor, WriteFieldIfSet<&Settings::color>,
     kHeaderAndValue, "DEFAULT"},
    {":CHECK_PROXY_ADDRESS", 20, kLines, kAlways, StoreCheckAddress,
     WriteFieldIfSet<&Settings::checkproxyaddress>, kHeaderAndValue, kDefaultCheckAddress},
    {":WINDOW_INFO", 3, kLines, kAlways, StoreGeometry, WriteGeometry, kHeaderAndValue,
     "920:700:300:10:10"},
    {":END", 3, kEnd, kAlways, nullptr, nullptr, kHeaderOnly, {}},
    // CONNECT tunnels: whether they are opened, and the ports they may go to.
    {":HTTPS_TUNNEL", 13, kOneLine, kAfterEnd, StoreHttpsTunnel, WriteHttpsTunnel, kLeftOut, "0"},
    {":TUNNEL_PORTS", 13, kOneLine, kAfterEnd, StoreTunnelPorts, WriteTunnelPorts, kLeftOut, "443"},
    // HTTPS inspection: whether tunnels are opened up, the hosts left alone, more anchors.
    {":HTTPS_INSPECT", 14, kOneLine, kAfterEnd, StoreHttpsInspect, WriteHttpsInspect, kLeftOut,
     "0"},
    {":INSPECT_EXCEPT", 15, kLines, kAfterEnd, StoreInspectException, WriteInspectExceptions,
     kLeftOut, ""},
    {":EXTRA_CA_FILE", 14, kOneLine, kAfterEnd, StoreExtraCaFile, WriteExtraCaFile, kLeftOut, ""},
    // The kind of each proxy address that is not plain HTTP ("host:port socks5").
    {":PROXY_KINDS", 12, kLines, kAfterEnd, StoreProxyKind, WriteProxyKinds, kLeftOut, ""},
};

}  // namespace

std::span<const ConfigSection> ConfigSections() {
    return kSections;
}

void ApplyMissingGroup(Settings& s, SectionGroup group) {
    switch (group) {
        case kBindAndRange:
            s.localorpassive = "local";
            s.allow_user = "127.0.0.1to127.0.0.1";
            break;
        case kHttpAndLogs:
            s.http_version = "1.1";
            s.access_log = log_mode::kFileOnly;
            s.send_header_log = log_mode::kFileOnly;
            s.recv_header_log = log_mode::kFileOnly;
            s.send_recv_header_log = log_mode::kFileOnly;
            break;
        case kAlways:
        case kAfterEnd:
            break;
    }
}

}  // namespace korvanel
