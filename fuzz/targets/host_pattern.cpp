// The host patterns of the hosts left uninspected, read from `data` and matched against the
// names clients connect to. Input: one byte, the pattern's length (cut to what follows), then
// the pattern, then the host.
#include "runtime/host_pattern.h"

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"

using namespace korvanel;

namespace {

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    std::size_t pattern_length = data[0];
    if (pattern_length > size - 1) pattern_length = size - 1;
    // Copies of their own, so that a read past either shows under the address sanitizer.
    std::string pattern(reinterpret_cast<const char*>(data + 1), pattern_length);
    std::string host(reinterpret_cast<const char*>(data + 1 + pattern_length),
                     size - 1 - pattern_length);

    const bool valid = IsHostPattern(pattern);
    const bool matched = MatchesHostPattern(pattern, host);
    if (valid) {
        fuzz::Require(pattern.find("..") == std::string::npos && !pattern.ends_with('.'),
                      "a valid pattern has no empty label");
        fuzz::Require(pattern.rfind('*') == std::string::npos || pattern.rfind('*') == 0,
                      "a star stands only in front");
        // A pattern matches the same hosts whatever the case of either.
        fuzz::Require(MatchesHostPattern(Lower(pattern), Lower(host)) == matched,
                      "matching ignores case");
        if (!pattern.starts_with("*.")) {
            fuzz::Require(MatchesHostPattern(pattern, pattern), "a name matches itself");
        } else {
            fuzz::Require(!MatchesHostPattern(pattern, pattern.substr(2)),
                          "a wildcard does not match its parent");
            fuzz::Require(MatchesHostPattern(pattern, "x" + pattern.substr(1)),
                          "a wildcard matches a child");
        }
    }
    if (matched && !pattern.starts_with("*.")) {
        std::string bare = host.ends_with('.') ? host.substr(0, host.size() - 1) : host;
        fuzz::Require(Lower(bare) == Lower(pattern), "a plain pattern matches only its name");
    }
    return 0;
}
