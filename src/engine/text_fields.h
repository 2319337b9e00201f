// Small readers over the start lines of HTTP messages: white-space separated fields, in
// the manner of scanf's "%s", without copying.
#pragma once

#include <string_view>

namespace korvanel {

inline bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The next field of `text` from `at` on (leading blanks skipped); `at` moves past it.
// Empty when no field is left.
inline std::string_view NextField(std::string_view text, std::size_t& at) {
    while (at < text.size() && IsBlank(text[at])) ++at;
    std::size_t begin = at;
    while (at < text.size() && !IsBlank(text[at])) ++at;
    return text.substr(begin, at - begin);
}

// `line` without its trailing `line_end`, when it ends in one.
inline std::string_view WithoutLineEnd(std::string_view line, std::string_view line_end) {
    if (!line_end.empty() && line.ends_with(line_end)) line.remove_suffix(line_end.size());
    return line;
}

}  // namespace korvanel
