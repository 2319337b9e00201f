#include "engine/tag_filter_step.h"

#include "runtime/runtime.h"
#include "texts.h"

namespace korvanel {
namespace {

FilterStepEnd FilterFailure(ErrorText& error_text) {
    error_text.assign(text::kTagFilterError);
    error_text.append("\n");
    return FilterStepEnd::kFailed;
}

// Marks and expands `output` in place; false when it would not fit (it cannot, for
// texts within kFilterInputLimit).
bool FilterOutputText(FilterOutput& output, const TagSwitches& tags) {
    MarkEnabledTags(output.data(), output.size(), tags);
    return ExpandMarks(output) == 1;
}

}  // namespace

int TakeCompleteTags(std::string_view piece, FilterOutput& output, FilterCarry& carry) {
    std::size_t last = piece.rfind('>');
    bool found = last != std::string_view::npos;
    std::size_t cut = found ? last + 1 : 0;
    std::string_view complete = piece.substr(0, cut);
    std::string_view rest = piece.substr(cut);
    std::size_t joined = carry.size() + (found ? complete.size() : rest.size());
    if (joined > kFilterCarryLimit || rest.size() > FilterCarry::kMaxLength) return 0;
    output.clear();
    if (!found) {
        carry.append(rest);
        return 1;
    }
    output.assign(carry.view());
    output.append(complete);
    carry.assign(rest);
    return 1;
}

FilterStepEnd FilterStep(std::string_view piece, FilterOutput& output, FilterCarry& carry,
                         const TagSwitches& tags, ErrorText& error_text) {
    if (TakeCompleteTags(piece, output, carry) == 0) {
        if (piece.size() > FilterCarry::kMaxLength) return FilterFailure(error_text);
        output.assign(carry.view());
        carry.assign(piece);
    }
    if (output.empty()) return FilterStepEnd::kNothingYet;
    if (!FilterOutputText(output, tags)) return FilterFailure(error_text);
    return FilterStepEnd::kSend;
}

FilterStepEnd FilterStep(Runtime& rt, std::string_view piece, FilterOutput& output,
                         FilterCarry& carry, ErrorText& error_text) {
    Hold hold(rt.locks.settings);
    return FilterStep(piece, output, carry, rt.settings.tag_switches, error_text);
}

bool CarryWantsFlush(const FilterCarry& carry) {
    return carry.view().find('<') == std::string_view::npos || carry.size() > kCarryFlushLength;
}

bool FilterFlushCarry(FilterCarry& carry, FilterOutput& output, const TagSwitches& tags) {
    output.assign(carry.view());
    carry.clear();
    if (output.empty()) return false;
    FilterOutputText(output, tags);
    return true;
}

bool FilterFlushCarry(Runtime& rt, FilterCarry& carry, FilterOutput& output) {
    Hold hold(rt.locks.settings);
    return FilterFlushCarry(carry, output, rt.settings.tag_switches);
}

int FilterText(Runtime& rt, std::string_view text, FilterOutput& output) {
    Hold hold(rt.locks.settings);
    return FilterText(text, output, rt.settings.tag_switches);
}

}  // namespace korvanel
