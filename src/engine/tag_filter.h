// The HTML tag filter: disables chosen tags by turning each into an HTML comment, "<tag ...>"
// becoming "<!--<tag ...>-->". Tags are found by plain, case-sensitive substring search of
// the tag prefixes of the switched-on tag rows, in row order.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "platform/fixed_text.h"
#include "runtime/settings.h"

namespace korvanel {

using TagSwitches = std::array<TagSwitch, kTagSwitchCount>;
// The filtered text ready to send.
using FilterOutput = FixedText<90000>;

// While a text is being marked, these bytes stand for a tag's "<" and its ">".
inline constexpr char kTagStartMark = '\x12';
inline constexpr char kTagEndMark = '\x13';
inline constexpr std::string_view kExpandedTagStart = "<!--<";
inline constexpr std::string_view kExpandedTagEnd = ">-->";

// The longest text the filter takes in one go. A text of marks only grows five times, so
// any such text expands within the output buffer.
inline constexpr std::size_t kFilterInputLimit = 14999;
static_assert(kFilterInputLimit * kExpandedTagStart.size() <= FilterOutput::kMaxLength);

// 1 when the row's value reads as the number 1 and its tag is not the "dummy" placeholder.
bool IsTagRowEnabled(const TagSwitch& row);

// Marks every occurrence of `tag` in text[0, length) that has a ">" after it: its first
// character becomes kTagStartMark and the first ">" after it kTagEndMark. 1, or -1 when an
// occurrence has no ">" after it; that occurrence and any later one stay as they are (a
// lone "<!--<" would hide the rest of the page as an unclosed comment).
int MarkTags(char* text, std::size_t length, std::string_view tag);

// MarkTags with the tag of every enabled row, in row order.
void MarkEnabledTags(char* text, std::size_t length, const TagSwitches& tags);

// Rewrites the text in place, each kTagStartMark as "<!--<" and each kTagEndMark as ">-->".
// 1, or -1 when the result would not fit the buffer (the text is then unchanged).
int ExpandMarks(FilterOutput& text);

// Copies `text` into `output` and filters it there (the whole-body case). Any byte may
// occur in `text`. 1, or -1 when `text` is longer than kFilterInputLimit.
int FilterText(std::string_view text, FilterOutput& output, const TagSwitches& tags);

}  // namespace korvanel
