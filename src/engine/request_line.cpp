#include "engine/request_line.h"

#include "engine/text_fields.h"

namespace korvanel {
namespace {

constexpr std::string_view kHttpScheme = "http://";
constexpr std::string_view kVersionPrefix = "HTTP/";
constexpr std::string_view kHttp10 = "HTTP/1.0";

struct RequestFields {
    std::string_view method;
    std::string_view url;
    std::string_view version;
};

// Reads three fields; false when fewer are present.
bool ReadFields(std::string_view line, RequestFields& fields) {
    std::size_t at = 0;
    fields.method = NextField(line, at);
    fields.url = NextField(line, at);
    fields.version = NextField(line, at);
    return !fields.version.empty();
}

bool IsAllowedMethod(std::string_view method) {
    return StartsWithN(method, "GET", 3) || StartsWithN(method, "HEAD", 4) || method == "PUT" ||
           StartsWithN(method, "DELETE", 4) || StartsWithN(method, "POST", 4);
}

// Splits "http://authority/path" (the path begins with its "/"). False when either part
// is missing.
bool SplitUrl(std::string_view url, std::string_view& authority, std::string_view& path) {
    if (!url.starts_with(kHttpScheme)) return false;
    std::string_view rest = url.substr(kHttpScheme.size());
    std::size_t slash = rest.find('/');
    if (slash == std::string_view::npos || slash == 0) return false;
    authority = rest.substr(0, slash);
    path = rest.substr(slash);
    return true;
}

void WriteLine(StartLine& line, std::string_view a, std::string_view b, std::string_view c,
               std::string_view d, std::string_view line_end) {
    // The parts may point into `line` itself: build behind the current text, then move.
    FixedText<StartLine::kCapacity> built;
    built.assign(a);
    built.append(" ");
    built.append(b);
    built.append(c);
    built.append(" ");
    built.append(d);
    built.append(line_end);
    line.assign(built.view());
}

}  // namespace

bool NormaliseRequestLine(std::string_view terminator, StartLine& request_line) {
    if (request_line.size() > kMaxHeadLength) return false;
    RequestFields fields;
    if (!ReadFields(request_line.view(), fields)) return false;
    if (fields.method.size() > kMaxMethodLength || fields.url.size() > kMaxUrlLength ||
        fields.version.size() > kMaxVersionLength) {
        return false;
    }
    if (!fields.url.starts_with(kHttpScheme)) return false;
    bool has_path = fields.url.find('/', kHttpScheme.size()) != std::string_view::npos;
    std::string_view added_slash = has_path ? "" : "/";
    std::string_view authority;
    std::string_view path;
    if (has_path) {
        if (!SplitUrl(fields.url, authority, path)) return false;
    } else {
        authority = fields.url.substr(kHttpScheme.size());
        path = added_slash;
    }
    // Longer parts would have to be cut, which would ask for another resource: refused.
    if (authority.empty() || authority.size() > kMaxAuthorityLength ||
        path.size() > kMaxPathLength) {
        return false;
    }
    if (!fields.version.starts_with(kVersionPrefix)) return false;
    if (!IsAllowedMethod(fields.method)) return false;
    WriteLine(request_line, fields.method, fields.url, added_slash, fields.version,
              LineEndOf(terminator));
    return true;
}

std::string_view EffectiveVersion(const StartLine& request_line, std::string_view terminator,
                                  std::string_view configured_version) {
    std::string_view line = WithoutLineEnd(request_line.view(), LineEndOf(terminator));
    if (line.ends_with(kHttp10)) return "1.0";
    if (configured_version.starts_with("1.0")) return "1.0";
    return "1.1";
}

bool ForceHttp10(std::string_view terminator, StartLine& request_line) {
    std::string_view line_end = LineEndOf(terminator);
    std::string_view line = WithoutLineEnd(request_line.view(), line_end);
    if (line.empty()) return true;
    request_line.set_length(line.size());
    request_line.data()[line.size() - 1] = '0';
    request_line.append(line_end);
    return true;
}

bool ToOriginForm(StartLine& request_line, TargetHost& host, TargetPort& port,
                  std::string_view terminator) {
    std::string_view line_end = LineEndOf(terminator);
    RequestFields fields;
    if (!ReadFields(WithoutLineEnd(request_line.view(), line_end), fields)) return false;
    std::string_view authority;
    std::string_view path;
    if (!SplitUrl(fields.url, authority, path)) return false;
    std::size_t colon = authority.find(':');
    if (colon != std::string_view::npos && colon + 1 < authority.size()) {
        std::string_view port_text = authority.substr(colon + 1);
        if (port_text.size() > kMaxPortLength) return false;
        host.assign(authority.substr(0, colon));
        port.assign(port_text);
    } else {
        // "host:" names the default port like "host" does.
        host.assign(authority.substr(0, colon));
        port.assign("80");
    }
    if (host.empty()) return false;
    WriteLine(request_line, fields.method, path, "", fields.version, line_end);
    return true;
}

bool FromInspectedForm(std::string_view host, std::string_view port, std::string_view terminator,
                       StartLine& request_line) {
    constexpr std::string_view kHttpsScheme = "https://";
    RequestFields fields;
    if (request_line.size() > kMaxHeadLength || !ReadFields(request_line.view(), fields)) {
        return false;
    }
    std::string_view path = fields.url;
    if (path.starts_with(kHttpsScheme)) {
        // The connection's own host stands, whatever the URL names: it is the one verified.
        std::size_t slash = path.find('/', kHttpsScheme.size());
        path = slash == std::string_view::npos ? std::string_view("/") : path.substr(slash);
    } else if (!path.starts_with('/')) {
        return false;
    }
    if (kHttpScheme.size() + host.size() + 1 + port.size() + path.size() > kMaxUrlLength)
        return false;
    FixedText<StartLine::kCapacity> url;
    url.assign(kHttpScheme);
    url.append(host);
    url.append(":");
    url.append(port);
    url.append(path);
    WriteLine(request_line, fields.method, url.view(), "", fields.version, LineEndOf(terminator));
    return true;
}

}  // namespace korvanel
