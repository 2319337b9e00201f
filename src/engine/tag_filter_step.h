// The tag filter on a body that arrives in pieces. Text is held back in a carry until a
// later piece brings the ">" that completes its last tag, so that a tag split across two
// pieces is still found whole; each output ends at a ">".
//
// A filtering relay, for each piece received:
//   FilterStep(...)            kSend: send `output`; kNothingYet; kFailed (error text set)
//   if CarryWantsFlush(carry): FilterFlushCarry(...), and when it gives true send `output`
// and at the end of the body FilterFlushCarry(...) once more and send what it gives.
// The overloads taking a Runtime read the tag rows under the settings lock.
#pragma once

#include <cstddef>
#include <string_view>

#include "engine/message_buffers.h"
#include "engine/tag_filter.h"

namespace korvanel {

struct Runtime;

// Text held back from one piece to the next.
using FilterCarry = FixedText<15000>;

// Carry and piece together may not exceed this many characters in TakeCompleteTags.
inline constexpr std::size_t kFilterCarryLimit = 14998;
// A carry longer than this is sent on without waiting for its tag end.
inline constexpr std::size_t kCarryFlushLength = 10001;
static_assert(FilterCarry::kMaxLength <= kFilterInputLimit);

// Joins carry and piece and cuts them after their last ">": the part up to it becomes
// `output`, the rest the new carry (a piece without ">" is added to the carry and the
// output is empty). 1, or 0 when carry and piece together would exceed kFilterCarryLimit
// (carry and output are then unchanged). The piece is consumed either way.
int TakeCompleteTags(std::string_view piece, FilterOutput& output, FilterCarry& carry);

// One step of the streaming filter over `piece` (any byte may occur in it): kSend when
// `output` holds filtered text to send, kNothingYet, or kFailed with "KORVANEL Error" and a
// line feed in `error_text`. When carry and piece would not fit together, the carry is
// filtered and given out as it is and the piece becomes the carry, so nothing is lost.
enum class FilterStepEnd { kSend, kNothingYet, kFailed };
FilterStepEnd FilterStep(std::string_view piece, FilterOutput& output, FilterCarry& carry,
                         const TagSwitches& tags, ErrorText& error_text);
FilterStepEnd FilterStep(Runtime& rt, std::string_view piece, FilterOutput& output,
                         FilterCarry& carry, ErrorText& error_text);

// True when the carry holds no "<" (no tag can be waiting in it) or is longer than
// kCarryFlushLength.
bool CarryWantsFlush(const FilterCarry& carry);

// Moves the carry, filtered, into `output` and empties it. True when `output` holds text
// to send, false when the carry was empty.
bool FilterFlushCarry(FilterCarry& carry, FilterOutput& output, const TagSwitches& tags);
bool FilterFlushCarry(Runtime& rt, FilterCarry& carry, FilterOutput& output);

// The whole-body case under the settings lock: FilterText.
int FilterText(Runtime& rt, std::string_view text, FilterOutput& output);

}  // namespace korvanel
