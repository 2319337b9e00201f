#include "settings/https_settings.h"

#include <utility>

#include "runtime/host_pattern.h"
#include "runtime/runtime.h"
#include "settings/config_values.h"
#include "settings/worker_thread.h"

namespace korvanel {

namespace {

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

std::optional<std::vector<std::string>> ParseHostPatternLines(std::string_view text,
                                                              std::string& bad_line) {
    bad_line.clear();
    std::vector<std::string> patterns;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = TrimBlanks(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.empty()) continue;
        if (!IsHostPattern(line)) {
            bad_line = line;
            return std::nullopt;
        }
        if (patterns.size() >= kMaxHostPatterns) return std::nullopt;
        patterns.emplace_back(line);
    }
    return patterns;
}

bool IsStorableCaPath(std::string_view path) {
    return path.size() <= kMaxExtraCaPathLength &&
           path.find_first_of("\r\n") == std::string_view::npos;
}

void ApplyHttpsChangeNow(Runtime& rt, const HttpsChange& change) {
    using Field = HttpsChange::Field;
    Hold hold(rt.locks.settings);
    Settings& s = rt.settings;
    switch (change.field) {
        case Field::kTunnel:
            s.https_tunnel = change.on;
            break;
        case Field::kTunnelPorts:
            s.tunnel_ports = change.ports;
            break;
        case Field::kInspect:
            s.https_inspect = change.on;
            break;
        case Field::kInspectExcept:
            s.inspect_except = change.patterns;
            break;
        case Field::kExtraCaFile:
            s.extra_ca_file = change.path;
            break;
    }
}

int ApplyHttpsChange(Runtime& rt, HttpsChange change) {
    return RunWorkerCommand(rt, [&rt, &change] {
        ApplyHttpsChangeNow(rt, change);
        return 1;
    });
}

}  // namespace korvanel
