#include "checker/check_request.h"

#include <cstdlib>
#include <string>

namespace korvanel {

namespace {

constexpr std::string_view kScheme = "http://";

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

}  // namespace

int ParseCheckAddress(std::string_view address, CheckTarget& target) {
    if (!address.starts_with(kScheme)) return -1;
    std::string_view rest = address.substr(kScheme.size());
    std::size_t slash = rest.find('/');
    if (slash == 0 || slash == std::string_view::npos) return -1;
    std::string_view authority = rest.substr(0, slash);
    if (authority.size() > kCheckHostCapacity - 1) return -1;
    std::string_view path = rest.substr(slash);
    std::size_t path_end = 0;
    while (path_end < path.size() && !IsSpace(path[path_end])) ++path_end;
    path = path.substr(0, path_end);

    std::size_t colon = authority.find(':');
    if (colon != std::string_view::npos && colon + 1 < authority.size()) {
        std::string_view port = authority.substr(colon + 1);
        // "http://:8080/x" names no host: nothing could be connected to.
        if (colon == 0 || port.size() > kCheckPortCapacity - 1) return -1;
        target.host = authority.substr(0, colon);
        target.port = port;
    } else {
        // No port, or a ":" that ends the authority (which stays part of the host).
        target.host = authority;
        target.port = "80";
    }
    target.path = path;
    return 1;
}

int BuildCheckRequest(std::string_view host, std::string_view port, std::string_view path,
                      CheckRequest& request) {
    bool with_port = !port.empty() && std::atoi(std::string(port).c_str()) != 80;
    // The authority as the request line names it; the fixed name only when there is no host.
    std::string authority(host.empty() ? kCheckHostName : host);
    if (with_port && !host.empty()) authority.append(":").append(port);

    std::string text = "GET http://";
    text.append(host);
    if (with_port) text.append(":").append(port);
    text.append(path).append(" HTTP/1.0\r\nHost: ").append(authority);
    text.append("\r\nUser-Agent: ").append(kCheckUserAgent);
    text.append(
        "\r\nAccept: image/png,image/*;q=0.8,*/*;q=0.5\r\n"
        "Accept-Language: ja,en-us;q=0.7,en;q=0.3\r\n"
        "Accept-Encoding: gzip, deflate\r\n"
        "Referer: http://");
    text.append(authority).append("/\r\nConnection: close\r\n\r\n");
    // Host and port stand in the request three times: measure the whole text.
    if (text.size() > kCheckRequestLimit) return -1;
    request = text;
    return 1;
}

}  // namespace korvanel
