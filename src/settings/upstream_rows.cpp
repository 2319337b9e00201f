#include "settings/upstream_rows.h"

#include <algorithm>
#include <vector>

#include "settings/config_lines.h"
#include "settings/row_validation.h"

namespace korvanel {

UpstreamKind KindOfAddress(const Settings& s, std::string_view address) {
    for (const ProxyEntry& row : s.proxies.rows) {
        if (row.address.view() == address) return row.upstream;
    }
    return UpstreamKind::kHttp;
}

void SetKindOfAddress(Settings& s, std::string_view address, UpstreamKind kind) {
    for (ProxyEntry& row : s.proxies.rows) {
        if (row.address.view() == address) row.upstream = kind;
    }
    if (s.proxy.view() == address) s.proxy_kind = kind;
}

void SetLoginOfAddress(Settings& s, std::string_view address, std::string_view user,
                       std::string_view password) {
    for (ProxyLogin& login : s.proxy_logins) {
        if (login.address != address) continue;
        if (login.user == user && login.password == password) return;
        login.user = user;
        login.password = password;
        ++s.logins_version;
        return;
    }
    s.proxy_logins.push_back(
        ProxyLogin{std::string(address), std::string(user), std::string(password)});
    ++s.logins_version;
}

void DropUnusedLogins(Settings& s) {
    auto unused = [&s](const ProxyLogin& login) {
        if (s.proxy.view() == login.address) return false;
        return std::none_of(
            s.proxies.rows.begin(), s.proxies.rows.end(),
            [&](const ProxyEntry& row) { return row.address.view() == login.address; });
    };
    auto end = std::remove_if(s.proxy_logins.begin(), s.proxy_logins.end(), unused);
    if (end == s.proxy_logins.end()) return;
    s.proxy_logins.erase(end, s.proxy_logins.end());
    ++s.logins_version;
}

void WriteProxyKinds(const Settings& s, std::string& out) {
    std::vector<std::string_view> written;
    auto write = [&](std::string_view address, UpstreamKind kind) {
        if (kind == UpstreamKind::kHttp) return;
        if (std::find(written.begin(), written.end(), address) != written.end()) return;
        written.push_back(address);
        std::string line(address);
        line.append(" ").append(UpstreamKindName(kind));
        AppendConfigLine(out, line);
    };
    for (const ProxyEntry& row : s.proxies.rows) write(row.address.view(), row.upstream);
    if (!s.proxy.empty()) write(s.proxy.view(), s.proxy_kind);
}

const char* StoreProxyKind(Settings& s, std::string_view line) {
    std::size_t space = line.rfind(' ');
    UpstreamKind kind = UpstreamKind::kHttp;
    if (space == std::string_view::npos ||
        CheckProxyRow("0", "0", "0", line.substr(0, space)) != kRowValid ||
        !ParseUpstreamKindName(line.substr(space + 1), kind)) {
        return "has a line that is not \"host:port socks5\" or \"host:port socks4a\"";
    }
    SetKindOfAddress(s, line.substr(0, space), kind);
    return nullptr;
}

}  // namespace korvanel
