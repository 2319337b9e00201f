#include "checker/check_request.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace korvanel {

namespace {

constexpr std::string_view kScheme = "http://";

constexpr const char kRequestWithPort[] = "GET http://%s:%s%s HTTP/1.0\r\n";
constexpr const char kRequestWithoutPort[] = "GET http://%s%s HTTP/1.0\r\n";
// Room the header lines and the rest of the template may take.
constexpr std::size_t kHeaderAllowance = 256;

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
        if (port.size() > kCheckPortCapacity - 1) return -1;
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
    std::string port_text(port);
    bool with_port = !port.empty() && std::atoi(port_text.c_str()) != 80;
    const char* line_format = with_port ? kRequestWithPort : kRequestWithoutPort;
    std::size_t needed = std::char_traits<char>::length(line_format) + host.size() + port.size() +
                         path.size() + kHeaderAllowance;
    if (needed > kCheckRequestLimit) return -1;

    std::string host_text(host);
    std::string path_text(path);
    char line[kCheckRequestCapacity];
    if (with_port) {
        std::snprintf(line, sizeof line, kRequestWithPort, host_text.c_str(), port_text.c_str(),
                      path_text.c_str());
    } else {
        std::snprintf(line, sizeof line, kRequestWithoutPort, host_text.c_str(), path_text.c_str());
    }
    request = line;
    request.append("Host: ");
    request.append(kCheckHostName);
    request.append("\r\nUser-Agent: ");
    request.append(kCheckUserAgent);
    request.append(
        "\r\nAccept: image/png,image/*;q=0.8,*/*;q=0.5\r\n"
        "Accept-Language: ja,en-us;q=0.7,en;q=0.3\r\n"
        "Accept-Encoding: gzip, deflate\r\n"
        "Referer: http://");
    request.append(kCheckHostName);
    request.append("/\r\nConnection: close\r\n\r\n");
    return 1;
}

}  // namespace korvanel
