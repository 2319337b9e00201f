// The proxy checker CGI that ships with KORVANEL. Install it as a CGI program on any web
// server with CGI support (for example as /dizu8d.cgi) and point the checkproxyaddress
// setting at it.
//
// It answers every request with a small HTML page that says it is a KORVANEL checker
// ("checker_type: korvanel" header and the banner line) and shows everything that reached
// it that could reveal a client: the requesting address and host name, and the forwarding
// headers that proxies add. The proxy checker calls a proxy anonymous only when this page
// holds none of the client's addresses and names.
//
// The body always stays between 82 and 1500 bytes. The proxy checker accepts at most 2000
// bytes of head data (status line, headers and whatever body came with them) and web
// servers send head and body together, so 500 bytes are left for the server's headers.
// Values are HTML-escaped and cut, and entries that would overflow are left out.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view kBanner = "This is KORVANEL Proxy Checker.";
constexpr std::size_t kBodyLimit = 1500;
constexpr std::size_t kValueLimit = 255;

// The CGI variables that can carry a client's address or name, in the order shown.
constexpr const char* kRevealing[] = {
    "REMOTE_ADDR",
    "REMOTE_HOST",
    "HTTP_X_FORWARDED_FOR",
    "HTTP_X_FORWARDED",
    "HTTP_X_FORWARDED_HOST",
    "HTTP_FORWARDED_FOR",
    "HTTP_FORWARDED",
    "HTTP_VIA",
    "HTTP_CLIENT_IP",
    "HTTP_X_CLIENT_IP",
    "HTTP_X_REAL_IP",
    "HTTP_X_CLUSTER_CLIENT_IP",
    "HTTP_X_ORIGINATING_IP",
    "HTTP_X_REMOTE_ADDR",
    "HTTP_X_REMOTE_IP",
    "HTTP_TRUE_CLIENT_IP",
    "HTTP_X_PROXY_ID",
    "HTTP_PROXY_CONNECTION",
    "HTTP_XROXY_CONNECTION",
    "HTTP_SP_HOST",
    "HTTP_FROM",
};

// Request headers every browser sends, which say nothing about where the request came
// from; every other HTTP_ variable is shown too, as a proxy may add any header.
constexpr std::string_view kOrdinary[] = {
    "HTTP_HOST",
    "HTTP_USER_AGENT",
    "HTTP_ACCEPT",
    "HTTP_ACCEPT_LANGUAGE",
    "HTTP_ACCEPT_ENCODING",
    "HTTP_ACCEPT_CHARSET",
    "HTTP_REFERER",
    "HTTP_CONNECTION",
    "HTTP_CACHE_CONTROL",
    "HTTP_PRAGMA",
    "HTTP_COOKIE",
    "HTTP_TE",
    "HTTP_UPGRADE_INSECURE_REQUESTS",
    "HTTP_KEEP_ALIVE",
};

constexpr std::string_view kHead =
    "<html><head><title>KORVANEL Proxy Checker</title></head><body>\n<p>";
constexpr std::string_view kListStart = "</p>\n<dl>\n";
constexpr std::string_view kTail = "</dl>\n</body></html>\n";

std::string Escape(std::string_view value) {
    std::string out;
    for (char c : value.substr(0, kValueLimit)) {
        switch (c) {
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '&':
                out += "&amp;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\r':
            case '\n':
                out += ' ';
                break;
            default:
                out += c;
        }
    }
    return out;
}

bool IsListed(std::string_view name) {
    for (const char* revealing : kRevealing) {
        if (name == revealing) return true;
    }
    for (std::string_view ordinary : kOrdinary) {
        if (name == ordinary) return true;
    }
    return false;
}

void AddEntry(std::string& body, std::string_view name, const char* value) {
    if (value == nullptr || value[0] == '\0') return;
    std::string entry = "<dt>" + Escape(name) + "</dt><dd>" + Escape(value) + "</dd>\n";
    if (body.size() + entry.size() + kTail.size() > kBodyLimit) return;
    body += entry;
}

std::string BuildBody() {
    std::string body;
    body.append(kHead).append(kBanner).append(kListStart);
    for (const char* name : kRevealing) AddEntry(body, name, std::getenv(name));
    for (char** variable = environ; *variable != nullptr; ++variable) {
        std::string_view text(*variable);
        std::size_t equals = text.find('=');
        if (equals == std::string_view::npos || !text.starts_with("HTTP_")) continue;
        std::string_view name = text.substr(0, equals);
        if (IsListed(name)) continue;
        AddEntry(body, name, *variable + equals + 1);
    }
    body.append(kTail);
    return body;
}

}  // namespace

int main() {
    std::string body = BuildBody();
    std::printf("Content-Type: text/html\r\n");
    std::printf("checker_type: korvanel\r\n");
    std::printf("Content-Length: %zu\r\n", body.size());
    std::printf("Cache-Control: no-cache\r\n");
    std::printf("\r\n");
    const char* method = std::getenv("REQUEST_METHOD");
    if (method == nullptr || std::string_view(method) != "HEAD") {
        std::fwrite(body.data(), 1, body.size(), stdout);
    }
    return 0;
}
