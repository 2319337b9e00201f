#include "runtime/host_pattern.h"

#include "platform/ascii_case.h"

namespace korvanel {

namespace {

bool IsLabelCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
}

}  // namespace

bool IsHostPattern(std::string_view pattern) {
    if (pattern.empty() || pattern.size() > kMaxHostPatternLength) return false;
    if (pattern.starts_with("*.")) pattern.remove_prefix(2);
    bool label_empty = true;
    for (char c : pattern) {
        if (c == '.') {
            if (label_empty) return false;
            label_empty = true;
        } else if (IsLabelCharacter(c)) {
            label_empty = false;
        } else {
            return false;
        }
    }
    return !label_empty;
}

bool MatchesHostPattern(std::string_view pattern, std::string_view host) {
    if (host.ends_with('.')) host.remove_suffix(1);
    if (!pattern.starts_with("*.")) return SameIgnoringCase(pattern, host);
    std::string_view parent = pattern.substr(1);  // ".bank.example"
    return host.size() > parent.size() && host[0] != '.' &&
           SameIgnoringCase(host.substr(host.size() - parent.size()), parent);
}

}  // namespace korvanel
