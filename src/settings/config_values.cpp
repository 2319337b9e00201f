#include "settings/config_values.h"

#include <string>

#include "runtime/host_pattern.h"
#include "settings/config_lines.h"
#include "settings/row_makers.h"
#include "settings/row_validation.h"
#include "settings/setting_rules.h"

namespace korvanel {

namespace {

constexpr Refusal kNotZeroOrOne = "is neither \"0\" nor \"1\"";
constexpr Refusal kEmptyLine = "has an empty value line";

// A value longer than its field is cut to it, as every copy of a value is: what the program
// itself accepted and saved must never make the next start refuse the whole file.
template <std::size_t N>
Refusal StoreCut(FixedText<N>& field, std::string_view value) {
    field = value;
    return kStored;
}

bool IsOneOf(std::string_view value, std::string_view a, std::string_view b) {
    return value == a || value == b;
}

Refusal StoreLogMode(LogMode& field, std::string_view value) {
    if (value.size() != 1 || value[0] < '0' || value[0] > '3') {
        return "is not one digit from 0 to 3";
    }
    field = value;
    return kStored;
}

Refusal StoreZeroOrOne(FixedText<4>& field, std::string_view value) {
    return IsOneOf(value, "0", "1") ? StoreCut(field, value) : kNotZeroOrOne;
}

template <std::size_t N>
Refusal StoreValueLine(FixedText<N>& field, std::string_view value) {
    return value.empty() ? kEmptyLine : StoreCut(field, value);
}

Refusal StoreHeaderRow(HeaderRuleList& list, std::string_view row) {
    constexpr Refusal kMalformed = "has a row that is not \"on:action:name:value\"";
    if (list.size() >= kHeaderRuleCapacity) return "holds more than 100 rows";
    std::string_view parts[4];
    if (!SplitConfigRow(row, 4, parts)) return kMalformed;
    std::string_view enabled = parts[0];
    if (CheckHeaderRuleRow(list, enabled, parts[1], parts[2], parts[3]) != kRowValid) {
        return kMalformed;
    }
    if (!AppendHeaderRule(list, enabled[0] - '0', parts[1][0] - '0', parts[2], parts[3])) {
        throw RowAllocationFailed{};
    }
    return kStored;
}

}  // namespace

Refusal StoreAccessLog(Settings& s, std::string_view v) {
    return StoreLogMode(s.access_log, v);
}
Refusal StoreSendLog(Settings& s, std::string_view v) {
    return StoreLogMode(s.send_header_log, v);
}
Refusal StoreRecvLog(Settings& s, std::string_view v) {
    return StoreLogMode(s.recv_header_log, v);
}
Refusal StorePairLog(Settings& s, std::string_view v) {
    return StoreLogMode(s.send_recv_header_log, v);
}

Refusal StorePort(Settings& s, std::string_view value) {
    if (!IsStoredPort(value, decltype(s.port)::kMaxLength)) {
        static const std::string refusal = "is not a port from " + std::to_string(kLowestPort) +
                                           " to " + std::to_string(kHighestPort);
        return refusal.c_str();
    }
    s.port = value;
    return kStored;
}

// A value of one character (the default text's "0") means no upstream proxy.
Refusal StoreProxy(Settings& s, std::string_view value) {
    if (value.size() <= 1) {
        s.proxy.clear();
        return kStored;
    }
    return StoreCut(s.proxy, value);
}

Refusal StoreCookie(Settings& s, std::string_view v) {
    return StoreZeroOrOne(s.cookie, v);
}
Refusal StoreSetCookie(Settings& s, std::string_view v) {
    return StoreZeroOrOne(s.setcookie, v);
}

// "0" (the default text) means no rewriting. Only the bare "0": a User-Agent such as
// "0a" is a valid row that can be in use, and must come back as it was written.
Refusal StoreAgent(Settings& s, std::string_view value) {
    if (value.empty() || value == "0") {
        s.agent.clear();
        return kStored;
    }
    return StoreCut(s.agent, value);
}

Refusal StoreUserAgentRow(Settings& s, std::string_view row) {
    std::string_view parts[2];
    if (!SplitConfigRow(row, 2, parts)) return "has a row that is not \"User-Agent:in use\"";
    int check = CheckUserAgentRow(s, parts[0], parts[1]);
    if (check == kRowListFull) return "holds more than 200 rows";
    if (check != kRowValid) return "has a row that is not \"User-Agent:in use\"";
    if (!AppendUserAgentRow(s, parts[0], parts[1].empty() ? 0 : parts[1][0] - '0')) {
        throw RowAllocationFailed{};
    }
    return kStored;
}

// Proxy rows: speed, kind, in-use, and the address with its port as the rest of the line.
Refusal StoreProxyRow(Settings& s, std::string_view row) {
    std::string_view parts[4];
    if (s.proxies.size() >= kProxyCapacity) return "holds more than 200 rows";
    // The validator caps the speed at 10 characters; the kind's capacity is all it has.
    if (!SplitConfigRow(row, 4, parts) ||
        CheckProxyRow(parts[2], parts[0], parts[1], parts[3]) != kRowValid ||
        parts[1].size() > FixedText<4>::kMaxLength) {
        return "has a row that is not \"speed:kind:in use:host:port\"";
    }
    if (!AppendProxyRow(s, parts[0], parts[1], parts[2][0] - '0', parts[3])) {
        throw RowAllocationFailed{};
    }
    return kStored;
}

Refusal StoreSendRow(Settings& s, std::string_view row) {
    return StoreHeaderRow(s.send_headers, row);
}
Refusal StoreRecvRow(Settings& s, std::string_view row) {
    return StoreHeaderRow(s.recv_headers, row);
}

// Three sections whose last value line wins; their values are not examined.
Refusal StoreAutoStart(Settings& s, std::string_view v) {
    return StoreValueLine(s.auto_start, v);
}
Refusal StoreColor(Settings& s, std::string_view v) {
    return StoreValueLine(s.color, v);
}
Refusal StoreCheckAddress(Settings& s, std::string_view v) {
    return StoreValueLine(s.checkproxyaddress, v);
}

// Five integers; a negative one takes its default. The last line wins.
Refusal StoreGeometry(Settings& s, std::string_view value) {
    static constexpr int kDefaults[5] = {920, 700, 300, 10, 10};
    int* fields[5] = {&s.window_width, &s.window_height, &s.split_pos, &s.window_x, &s.window_y};
    int numbers[5];
    for (int i = 0; i < 5; ++i) {
        std::size_t colon = i < 4 ? value.find(':') : value.size();
        if (colon == std::string_view::npos ||
            !ParseConfigInt(value.substr(0, colon), numbers[i])) {
            return "is not five whole numbers separated by \":\"";
        }
        value.remove_prefix(i < 4 ? colon + 1 : colon);
    }
    for (int i = 0; i < 5; ++i) *fields[i] = numbers[i] < 0 ? kDefaults[i] : numbers[i];
    return kStored;
}

// One value per tag row in table order, each ended by ":". A file from before the last two
// tag groups holds 48; any other count is damage. The values are kept as they stand: the
// tag switches show one other than "0" or "1" as an error for the user to mend.
Refusal StoreTagLine(Settings& s, std::string_view value) {
    constexpr Refusal kWrongCount = "does not hold 56 values (or 48 from an older version)";
    int count = 0;
    std::size_t pos = 0;
    while (pos < value.size()) {
        if (value[pos] == ':') {
            ++pos;
            continue;
        }
        std::size_t end = value.find(':', pos);
        if (end == std::string_view::npos) end = value.size();
        std::string_view tag = value.substr(pos, end - pos);
        if (count >= kTagSwitchCount) return kWrongCount;
        s.tag_switches[count++].value = tag;
        pos = end;
    }
    if (count != kTagSwitchCount && count != kTagSwitchCount - 2 * kTagRowsPerGroup) {
        return kWrongCount;
    }
    for (int i = count; i < kTagSwitchCount; ++i) s.tag_switches[i].value = "0";
    return kStored;
}

Refusal StoreBindMode(Settings& s, std::string_view value) {
    // Only the two modes: anything else could open the server to every address by mistake.
    if (!IsOneOf(value, "local", "passive")) return "is neither \"local\" nor \"passive\"";
    return StoreCut(s.localorpassive, value);
}

Refusal StoreAllowRange(Settings& s, std::string_view value) {
    // Judged as it is kept, cut to the field: a range whose end the cut spoils would be
    // saved and then refused at the next start.
    decltype(s.allow_user) kept;
    kept = value;
    if (!IsStoredRange(kept.view())) return "is not a range \"address to address\"";
    s.allow_user = kept;
    return kStored;
}

Refusal StoreHttpVersion(Settings& s, std::string_view value) {
    if (!IsOneOf(value, "1.0", "1.1")) return "is neither \"1.0\" nor \"1.1\"";
    return StoreCut(s.http_version, value);
}

Refusal StoreHttpsTunnel(Settings& s, std::string_view value) {
    return ParseTunnelSwitch(value, s.https_tunnel) ? kStored : kNotZeroOrOne;
}

Refusal StoreTunnelPorts(Settings& s, std::string_view value) {
    return ParseTunnelPorts(value, s.tunnel_ports)
               ? kStored
               : "is not a list of ports from 1 to 65535 separated by \",\"";
}

Refusal StoreHttpsInspect(Settings& s, std::string_view value) {
    return ParseTunnelSwitch(value, s.https_inspect) ? kStored : kNotZeroOrOne;
}

Refusal StoreInspectException(Settings& s, std::string_view value) {
    if (value.empty()) return kStored;  // a blank line between patterns
    if (!IsHostPattern(value)) return "holds a line that is not a host pattern";
    if (s.inspect_except.size() >= kMaxHostPatterns) return "holds more than 200 host patterns";
    s.inspect_except.emplace_back(value);
    return kStored;
}

Refusal StoreExtraCaFile(Settings& s, std::string_view value) {
    if (value.size() > kMaxExtraCaPathLength) return "holds a path longer than 4095 bytes";
    s.extra_ca_file = value;
    return kStored;
}

}  // namespace korvanel
