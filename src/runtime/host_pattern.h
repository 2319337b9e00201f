// Host patterns: the hosts whose HTTPS is not inspected. A pattern is a host name
// ("update.example.org", matched whole) or "*." and a name ("*.bank.example", matched by
// every name below it, one label or more, not by the name itself). Letters match without
// regard to case; a trailing dot of the host is not part of its name. Pure: text in, a
// verdict out.
#pragma once

#include <cstddef>
#include <string_view>

namespace korvanel {

// The longest pattern (and host) a list holds.
inline constexpr std::size_t kMaxHostPatternLength = 253;
// The most patterns the list holds; a longer list is refused.
inline constexpr std::size_t kMaxHostPatterns = 200;

// True for a pattern as above: labels of letters, digits, '-' and '_', separated by single
// dots, with at most a leading "*." and at most kMaxHostPatternLength characters.
bool IsHostPattern(std::string_view pattern);

// True when `host` (a name or dotted quad, as a CONNECT line or a TLS client names it) is
// matched by `pattern`.
bool MatchesHostPattern(std::string_view pattern, std::string_view host);

}  // namespace korvanel
