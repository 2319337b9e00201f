// The search rule and the one edit primitive for header blocks. Header names are matched
// case-sensitively, in a fixed list of spellings, and only at the start of a line.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "engine/message_buffers.h"

namespace korvanel {

// The spellings of one header name, tried in order. The first is the one written when the
// header is added.
using NameForms = std::span<const std::string_view>;

inline constexpr int kEditAdd = 0;
inline constexpr int kEditDeleteOne = 1;

// Position of the first occurrence of `text` that stands at the start of `block` or right
// after a line end (the last character of `terminator`), or npos. Occurrences inside a
// line (the "User-Agent: " in "X-User-Agent: ") are passed over.
std::size_t FindAtLineStart(std::string_view block, std::string_view text,
                            std::string_view terminator);

// Like FindAtLineStart for `name` followed by ": ".
std::size_t FindHeaderAtLineStart(std::string_view block, std::string_view name,
                                  std::string_view terminator);

// mode 0 (add): appends "NAME: value" (the first spelling) as the last header line;
//   1, or -1 when the line does not fit the block (the block is then unchanged).
// mode 1 (delete one): removes the first line of the first spelling found; 0 when a line
//   was removed, 1 when none was found, -1 when the line found has no line end (it stays).
// other modes: 1 when no spelling is found, else -1.
int EditHeader(HeaderBlock& block, int mode, NameForms names, std::string_view value,
               std::string_view terminator);

// Removes every line of the header in any of its spellings.
void DeleteAllHeaders(HeaderBlock& block, NameForms names, std::string_view terminator);

// Removes every line of the header, then adds one line with `value`. 1, or -1 when the
// new line does not fit.
int ReplaceHeader(HeaderBlock& block, NameForms names, std::string_view value,
                  std::string_view terminator);

}  // namespace korvanel
