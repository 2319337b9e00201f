#include "settings/config_values.h"

#include <cstdlib>
#include <string>

#include "engine/access_control.h"
#include "settings/config_lines.h"
#include "settings/row_makers.h"
#include "settings/row_validation.h"

namespace korvanel {

namespace {

// A value longer than its field is cut to it, as every copy of a value is: what the program
// itself accepted and saved must never make the next start refuse the whole file.
template <std::size_t N>
bool StoreCut(FixedText<N>& field, std::string_view value) {
    field = value;
    return true;
}

bool IsOneOf(std::string_view value, std::string_view a, std::string_view b) {
    return value == a || value == b;
}

bool StoreLogMode(LogMode& field, std::string_view value) {
    if (value.size() != 1 || value[0] < '0' || value[0] > '3') return false;
    field = value;
    return true;
}

bool StoreAccessLog(Settings& s, std::string_view v) {
    return StoreLogMode(s.access_log, v);
}
bool StoreSendLog(Settings& s, std::string_view v) {
    return StoreLogMode(s.send_header_log, v);
}
bool StoreRecvLog(Settings& s, std::string_view v) {
    return StoreLogMode(s.recv_header_log, v);
}
bool StorePairLog(Settings& s, std::string_view v) {
    return StoreLogMode(s.send_recv_header_log, v);
}

bool StorePort(Settings& s, std::string_view value) {
    if (value.empty() || value.size() > FixedText<8>::kMaxLength || !IsDigitsOnly(value)) {
        return false;
    }
    int port = std::atoi(std::string(value).c_str());
    if (port < 1025 || port > 65535) return false;
    s.port = value;
    return true;
}

// A value of one character (the default text's "0") means no upstream proxy.
bool StoreProxy(Settings& s, std::string_view value) {
    if (value.size() <= 1) {
        s.proxy.clear();
        return true;
    }
    return StoreCut(s.proxy, value);
}

bool StoreCookie(Settings& s, std::string_view v) {
    return IsOneOf(v, "0", "1") && StoreCut(s.cookie, v);
}
bool StoreSetCookie(Settings& s, std::string_view v) {
    return IsOneOf(v, "0", "1") && StoreCut(s.setcookie, v);
}

// "0" (the default text) means no rewriting. Only the bare "0": a User-Agent such as
// "0a" is a valid row that can be in use, and must come back as it was written.
bool StoreAgent(Settings& s, std::string_view value) {
    if (value.empty() || value == "0") {
        s.agent.clear();
        return true;
    }
    return StoreCut(s.agent, value);
}

bool StoreUserAgentRow(Settings& s, std::string_view row) {
    std::string_view parts[2];
    if (!SplitConfigRow(row, 2, parts)) return false;
    if (CheckUserAgentRow(s, parts[0], parts[1]) != kRowValid) return false;
    if (!AppendUserAgentRow(s, parts[0], parts[1].empty() ? 0 : parts[1][0] - '0')) {
        throw RowAllocationFailed{};
    }
    return true;
}

// Proxy rows: speed, kind, in-use, and the address with its port as the rest of the line.
bool StoreProxyRow(Settings& s, std::string_view row) {
    std::string_view parts[4];
    if (!SplitConfigRow(row, 4, parts) || s.proxies.size() >= kProxyCapacity) return false;
    if (CheckProxyRow(parts[2], parts[0], parts[1], parts[3]) != kRowValid) return false;
    // The validator caps the speed at 10 characters; the kind's capacity is all it has.
    if (parts[1].size() > FixedText<4>::kMaxLength) return false;
    if (!AppendProxyRow(s, parts[0], parts[1], parts[2][0] - '0', parts[3])) {
        throw RowAllocationFailed{};
    }
    return true;
}

bool StoreHeaderRow(HeaderRuleList& list, std::string_view row) {
    std::string_view parts[4];
    if (!SplitConfigRow(row, 4, parts) || list.size() >= kHeaderRuleCapacity) return false;
    std::string_view enabled = parts[0];
    if (CheckHeaderRuleRow(list, enabled, parts[1], parts[2], parts[3]) != kRowValid) {
        return false;
    }
    if (!AppendHeaderRule(list, enabled[0] - '0', parts[1][0] - '0', parts[2], parts[3])) {
        throw RowAllocationFailed{};
    }
    return true;
}

bool StoreSendRow(Settings& s, std::string_view row) {
    return StoreHeaderRow(s.send_headers, row);
}
bool StoreRecvRow(Settings& s, std::string_view row) {
    return StoreHeaderRow(s.recv_headers, row);
}

// Three sections whose last value line wins; their values are not examined.
bool StoreAutoStart(Settings& s, std::string_view v) {
    return !v.empty() && StoreCut(s.auto_start, v);
}
bool StoreColor(Settings& s, std::string_view v) {
    return !v.empty() && StoreCut(s.color, v);
}
bool StoreCheckAddress(Settings& s, std::string_view v) {
    return !v.empty() && StoreCut(s.checkproxyaddress, v);
}

// Five integers; a negative one takes its default. The last line wins.
bool StoreGeometry(Settings& s, std::string_view value) {
    static constexpr int kDefaults[5] = {920, 700, 300, 10, 10};
    int* fields[5] = {&s.window_width, &s.window_height, &s.split_pos, &s.window_x, &s.window_y};
    int numbers[5];
    for (int i = 0; i < 5; ++i) {
        std::size_t colon = i < 4 ? value.find(':') : value.size();
        if (colon == std::string_view::npos ||
            !ParseConfigInt(value.substr(0, colon), numbers[i])) {
            return false;
        }
        value.remove_prefix(i < 4 ? colon + 1 : colon);
    }
    for (int i = 0; i < 5; ++i) *fields[i] = numbers[i] < 0 ? kDefaults[i] : numbers[i];
    return true;
}

}  // namespace

// One value per tag row in table order, each ended by ":". A file from before the last two
// tag groups holds 48; any other count is damage. The values are kept as they stand: the
// tag switches show one other than "0" or "1" as an error for the user to mend.
bool StoreTagLine(Settings& s, std::string_view value) {
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
        if (count >= kTagSwitchCount) return false;
        s.tag_switches[count++].value = tag;
        pos = end;
    }
    if (count != kTagSwitchCount && count != kTagSwitchCount - 2 * kTagRowsPerGroup) return false;
    for (int i = count; i < kTagSwitchCount; ++i) s.tag_switches[i].value = "0";
    return true;
}

bool StoreBindMode(Settings& s, std::string_view value) {
    // Only the two modes: anything else could open the server to every address by mistake.
    return IsOneOf(value, "local", "passive") && StoreCut(s.localorpassive, value);
}

bool StoreAllowRange(Settings& s, std::string_view value) {
    static constexpr std::size_t kRangeStartMaxLength = 35;
    // Judged as it is kept, cut to the field: a range whose end the cut spoils would be
    // saved and then refused at the next start.
    decltype(s.allow_user) kept;
    kept = value;
    std::string_view range = kept.view();
    std::size_t to = range.find("to");
    if (to == std::string_view::npos || to > kRangeStartMaxLength) return false;
    // The same test as the access-range register button, so that every range the dialog
    // accepts and saves is read back at the next start.
    if (ParseDottedQuad(range.substr(0, to)) != 1 || ParseDottedQuad(range.substr(to + 2)) != 1) {
        return false;
    }
    s.allow_user = kept;
    return true;
}

bool StoreHttpVersion(Settings& s, std::string_view value) {
    return IsOneOf(value, "1.0", "1.1") && StoreCut(s.http_version, value);
}

const ValueSection kLogSections[4] = {
    {{":ACCESS_LOG", 10}, StoreAccessLog},
    {{":SEND_HEADER_LOG", 15}, StoreSendLog},
    {{":RECV_HEADER_LOG", 15}, StoreRecvLog},
    {{":SEND_RECV_HEADER_LOG", 20}, StorePairLog},
};

const ValueSection kPortSection = {{":KORV_PORT", 9}, StorePort};

const ValueSection kRequiredSections[4] = {
    {{":PROXY_SERVER", 12}, StoreProxy},
    {{":COOKIE", 6}, StoreCookie},
    {{":SET_COOKIE", 6}, StoreSetCookie},
    {{":USER_AGENT", 10}, StoreAgent},
};

const ListSection kListSections[8] = {
    {{":USER_AGENT_LIST", 15}, {":PROXY_LIST", 10}, StoreUserAgentRow},
    {{":PROXY_LIST", 10}, {":SEND_HEADER_LIST", 16}, StoreProxyRow},
    {{":SEND_HEADER_LIST", 16}, {":RECV_HEADER_LIST", 16}, StoreSendRow},
    {{":RECV_HEADER_LIST", 16}, {":AUTO_START", 3}, StoreRecvRow},
    {{":AUTO_START", 3}, {":KORVANEL_COLOR", 14}, StoreAutoStart},
    {{":KORVANEL_COLOR", 14}, {":CHECK_PROXY_ADDRESS", 20}, StoreColor},
    {{":CHECK_PROXY_ADDRESS", 20}, {":WINDOW_INFO", 3}, StoreCheckAddress},
    {{":WINDOW_INFO", 3}, {":END", 3}, StoreGeometry},
};

}  // namespace korvanel
