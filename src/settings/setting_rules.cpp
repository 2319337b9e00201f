#include "settings/setting_rules.h"

#include "platform/dotted_quad.h"
#include "settings/row_validation.h"

namespace korvanel {

namespace {

bool RangeEndAccepted(std::string_view end) {
    return !end.empty() && end.size() <= kRangeEndMaxLength && ParseDottedQuad(end) == 1;
}

}  // namespace

PortCheck CheckPortText(std::string_view text) {
    if (!IsDigitsOnly(text)) return {std::nullopt, PortRefusal::kNotInteger};
    long number = 0;
    for (char c : text) {
        number = number * 10 + (c - '0');
        if (number > kHighestPort) return {std::nullopt, PortRefusal::kOutOfRange};
    }
    if (number < kLowestPort) return {std::nullopt, PortRefusal::kOutOfRange};
    return {std::to_string(number), PortRefusal::kOutOfRange};
}

bool IsStoredPort(std::string_view value, std::size_t max_length) {
    return !value.empty() && value.size() <= max_length && CheckPortText(value).port.has_value();
}

std::optional<std::string> CheckRange(std::string_view start, std::string_view end) {
    if (!RangeEndAccepted(start) || !RangeEndAccepted(end)) return std::nullopt;
    // The stored value is split at its first "to" when it is read: a start holding "to"
    // (in the text after its fourth number) would move the split and be refused then.
    if (start.find(kRangeJoin) != std::string_view::npos) return std::nullopt;
    std::string range(start);
    range.append(kRangeJoin).append(end);
    return range;
}

bool IsStoredRange(std::string_view range) {
    std::size_t to = range.find(kRangeJoin);
    if (to == std::string_view::npos || to > kRangeStartMaxLength) return false;
    return ParseDottedQuad(range.substr(0, to)) == 1 &&
           ParseDottedQuad(range.substr(to + kRangeJoin.size())) == 1;
}

}  // namespace korvanel
