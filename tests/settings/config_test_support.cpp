#include "settings/config_test_support.h"

#include <string>

#include "settings/config_file.h"
#include "settings/row_makers.h"
#include "settings/upstream_rows.h"

namespace korvanel::testing {

void FillToCapacity(Settings& s) {
    ApplyNewFileDefaults(s);
    for (int i = 0; i < kTagSwitchCount; i += 3) s.tag_switches[i].value = "1";
    s.localorpassive = "passive";
    s.allow_user = "192.168.0.1to192.168.0.254";
    s.http_version = "1.0";
    s.access_log = "2";
    s.send_header_log = "3";
    s.port = "65535";
    s.cookie = "1";
    for (int i = 0; i < kUserAgentCapacity; ++i) {
        std::string text = "Agent/" + std::to_string(i) + " (X11; Linux x86_64) " +
                           std::string(static_cast<std::size_t>(i % 150), 'u');
        AppendUserAgentRow(s, text, i == 7 ? 1 : 0);
    }
    s.agent = s.user_agents.at(7)->text.view();
    for (int i = 0; i < kProxyCapacity; ++i) {
        std::string address =
            "proxy" + std::to_string(i) + ".example.net:" + std::to_string(1025 + i);
        AppendProxyRow(s, std::to_string(i * 37), i % 2 ? "6" : "1", i == 199 ? 1 : 0, address);
    }
    // Some rows of other kinds, the one in use among them.
    for (int i : {3, 150, 199}) {
        SetKindOfAddress(s, s.proxies.at(i)->address.view(),
                         i == 150 ? UpstreamKind::kSocks4a : UpstreamKind::kSocks5);
    }
    s.proxy = s.proxies.at(199)->address.view();
    s.proxy_kind = UpstreamKind::kSocks5;
    HeaderRuleList* lists[] = {&s.send_headers, &s.recv_headers};
    for (HeaderRuleList* list : lists) {
        for (int i = 0; i < kHeaderRuleCapacity; ++i) {
            std::string value = "v=" + std::to_string(i) + "; path=/:x " + std::string(100, 'z');
            AppendHeaderRule(*list, i % 6 == 0 && list->enabled_count <= 15 ? 1 : 0, i % 3,
                             "x-rule-" + std::to_string(i), value);
        }
    }
    s.auto_start = "2";
    s.color = "BLACK";
    s.window_width = 1024;
    s.window_height = 768;
    s.split_pos = 250;
    s.window_x = 0;
    s.window_y = 33;
}

bool SameSavedState(const Settings& a, const Settings& b, std::string* difference) {
    std::string text_a = FormatConfiguration(a);
    std::string text_b = FormatConfiguration(b);
    bool same = text_a == text_b && a.send_headers.enabled_count == b.send_headers.enabled_count &&
                a.recv_headers.enabled_count == b.recv_headers.enabled_count &&
                a.tag_filter_active == b.tag_filter_active && a.proxy_kind == b.proxy_kind;
    const HeaderRuleList* lists_a[] = {&a.send_headers, &a.recv_headers};
    const HeaderRuleList* lists_b[] = {&b.send_headers, &b.recv_headers};
    for (int l = 0; same && l < 2; ++l) {
        auto it = lists_b[l]->rows.begin();
        for (const HeaderRule& rule : lists_a[l]->rows) {
            same = same && rule.name_lower == it->name_lower && rule.name_upper == it->name_upper &&
                   rule.name_capitalised == it->name_capitalised;
            ++it;
        }
    }
    if (!same && difference) *difference = text_a + "\n----\n" + text_b;
    return same;
}

}  // namespace korvanel::testing
