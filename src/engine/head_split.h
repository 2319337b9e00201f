// Cutting a received head into start line, header block and the body bytes that came
// with it.
#pragma once

#include <string_view>

#include "engine/message_buffers.h"

namespace korvanel {

// Splits `head` (the bytes read by the head reader, any byte allowed) after its first line
// end. `start_line` gets the first line with its line end; `header_block` gets everything
// after it. A head without header lines gets one more line end in front of its block, so
// the block still ends in the terminator. False when the head holds no line end.
bool SplitHead(std::string_view head, std::string_view terminator, StartLine& start_line,
               HeaderBlock& header_block);

// Moves the bytes after the first terminator of `header_block` into `body` and cuts the
// block right after the terminator. A block that is a single line end has no body.
// 1, or -1 when the block holds no terminator.
//
// body.size() is the number of body bytes that came with the head, exactly. Use it rather
// than recomputing the count from the head length and the lengths of the start line and
// block: those change when the start line is normalised or a line end is added in front
// of the block.
bool SplitBody(std::string_view terminator, HeaderBlock& header_block, HeadBody& body);

}  // namespace korvanel
