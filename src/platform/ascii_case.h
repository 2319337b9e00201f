// Letters compared and lowered as ASCII has them: host names, header names and tokens are
// ASCII, and the locale must not change how they compare.
#pragma once

#include <cstddef>
#include <string_view>

namespace korvanel {

inline char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// True when `a` and `b` differ at most in the case of ASCII letters.
inline bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

}  // namespace korvanel
