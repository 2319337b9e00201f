// The fixed buffers in which a connection handler keeps one HTTP message, and the line-end
// rule that every text operation on a message follows.
#pragma once

#include <cstddef>
#include <string_view>

#include "platform/fixed_text.h"

namespace korvanel {

// The request line or status line, including its line end.
using StartLine = FixedText<15000>;
// Every header line after the start line, through the blank line that ends the head.
using HeaderBlock = FixedText<19000>;
// The body bytes that arrived together with the head. May hold any byte, NUL included:
// its size() is the count of those bytes.
using HeadBody = FixedText<15000>;
// The blank-line sequence that ended the head: "\r\n\r\n", "\n\n" or "\r\r".
using Terminator = FixedText<11>;
// The user-visible reason of a failure.
using ErrorText = FixedText<358>;
using TargetHost = FixedText<5000>;
using TargetPort = FixedText<10>;

// The longest head the head reader accepts; longer start lines are refused too.
inline constexpr std::size_t kMaxHeadLength = 9994;

// The line end of a message: the second half of its terminator ("\r\n", "\n" or "\r").
inline std::string_view LineEndOf(std::string_view terminator) {
    return terminator.substr(terminator.size() / 2);
}

}  // namespace korvanel
