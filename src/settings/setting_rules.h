// The rules a port and an access range must meet, wherever they come from: the Config
// dialog's register buttons and the configuration reader use the same ones, so that every
// value the dialog stores is read back at the next start.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace korvanel {

inline constexpr long kLowestPort = 1025;
inline constexpr long kHighestPort = 65535;

// Each end of an access range holds 1 to this many bytes when the dialog stores it.
inline constexpr std::size_t kRangeEndMaxLength = 15;
// A stored range's start, the text before its first "to", is shorter than this.
inline constexpr std::size_t kRangeStartMaxLength = 35;
inline constexpr std::string_view kRangeJoin = "to";

// The two refusals of a port text.
enum class PortRefusal { kNotInteger, kOutOfRange };

// The port text as it is stored (plain decimal, so that leading zeros cannot make it longer
// than the port field holds), or the refusal. An empty text is out of range.
struct PortCheck {
    std::optional<std::string> port;
    PortRefusal refusal = PortRefusal::kNotInteger;
};
PortCheck CheckPortText(std::string_view text);

// True for a stored port value: digits only, at most `max_length` of them, in the range.
bool IsStoredPort(std::string_view value, std::size_t max_length);

// The stored range for the two ends the dialog was given, or nothing when an end is refused.
std::optional<std::string> CheckRange(std::string_view start, std::string_view end);

// True for a stored range: two dotted quads joined by the first "to".
bool IsStoredRange(std::string_view range);

}  // namespace korvanel
