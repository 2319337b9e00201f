// Validation and rewriting of the status line of an answer.
#pragma once

#include <cstddef>
#include <string_view>

#include "engine/message_buffers.h"

namespace korvanel {

inline constexpr std::size_t kMaxReasonLength = 128;
// The reason written in place of a missing or one-character reason phrase.
inline constexpr std::string_view kPlaceholderReason = "dummy";

// Checks the status line and writes it back as "VERSION CODE REASON" plus the line end.
// The version must begin with "HTTP/1." (it is never rewritten) and the code must be three
// decimal digits; a reason shorter than 2 characters becomes "dummy", a longer one is cut
// at 128 characters. False when the line is refused.
bool NormaliseStatusLine(std::string_view terminator, StartLine& status_line);

}  // namespace korvanel
