// The streaming tag filter over a body cut into pieces at points the input chooses, driven
// the way a filtering relay drives it: FilterStep per piece, FilterFlushCarry when the
// carry asks for it and once at the end. Whatever the cuts, nothing may be lost.
#include "engine/tag_filter_step.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "tag_support.h"

using namespace korvanel;

namespace {

// Pieces may be longer than the input allows by repeating a short pattern, so that the
// carry limits are reached without huge inputs.
constexpr std::size_t kLongestPiece = 16000;

struct Buffers {
    FilterOutput output;
    FilterCarry carry;
    ErrorText error;
    FilterOutput cut_output;
    FilterCarry cut_carry;
};

// TakeCompleteTags on its own: carry and piece are split after their last ">" and kept.
void CheckCut(Buffers& b, std::string_view piece) {
    b.cut_carry = b.carry.view();
    std::string joined = b.carry.str() + std::string(piece);
    int cut = TakeCompleteTags(piece, b.cut_output, b.cut_carry);
    fuzz::Use(b.cut_output.view());
    fuzz::Use(b.cut_carry.view());
    if (cut == 0) {
        fuzz::Require(joined.size() > kFilterCarryLimit, "TakeCompleteTags refuses only too much");
        fuzz::Require(b.cut_carry.view() == b.carry.view(), "a refusal keeps the carry");
        return;
    }
    fuzz::Require(cut == 1, "TakeCompleteTags gives 1 or 0");
    fuzz::Require(b.cut_output.str() + b.cut_carry.str() == joined, "the cut keeps every byte");
    fuzz::Require(b.cut_output.empty() || b.cut_output.view().ends_with(">"),
                  "the output ends at a \">\"");
    fuzz::Require(b.cut_output.empty() || b.cut_carry.view().find('>') == std::string_view::npos,
                  "the cut is after the last \">\"");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    std::uint64_t bits = input.ConsumeIntegral<std::uint64_t>();
    TagSwitches tags = fuzz::TagsFor(bits);
    std::unique_ptr<Buffers> buffers(new Buffers);  // default-initialised: no 200 KB clear
    std::string body;
    std::string sent;

    while (input.remaining_bytes() > 0) {
        std::size_t length = input.ConsumeIntegralInRange<std::size_t>(0, 64);
        std::size_t repeat = input.ConsumeIntegralInRange<std::size_t>(1, 250);
        std::string pattern = input.ConsumeBytesAsString(length);
        std::string piece;
        for (std::size_t i = 0; i < repeat && piece.size() < kLongestPiece; ++i) piece += pattern;
        if (piece.size() > kLongestPiece) piece.resize(kLongestPiece);
        body += piece;

        CheckCut(*buffers, piece);
        FilterStepEnd step =
            FilterStep(piece, buffers->output, buffers->carry, tags, buffers->error);
        fuzz::Use(buffers->output.view());
        if (step == FilterStepEnd::kFailed) {
            fuzz::Require(piece.size() > FilterCarry::kMaxLength,
                          "FilterStep fails only on a piece "
                          "longer than the carry");
            fuzz::Require(buffers->error.view().ends_with("\n"), "a failure has its error text");
            return 0;
        }
        const bool send = step == FilterStepEnd::kSend;
        fuzz::Require(!send || !buffers->output.empty(), "kSend comes with text to send");
        if (send) sent += buffers->output.view();
        if (CarryWantsFlush(buffers->carry) &&
            FilterFlushCarry(buffers->carry, buffers->output, tags)) {
            fuzz::Use(buffers->output.view());
            sent += buffers->output.view();
        }
    }
    if (FilterFlushCarry(buffers->carry, buffers->output, tags)) sent += buffers->output.view();
    fuzz::Use(sent);
    fuzz::Require(buffers->carry.empty(), "the last flush empties the carry");
    fuzz::Require(fuzz::KeepsEverything(body, sent), "the filtered body loses nothing");
    if (bits == 0)
        fuzz::Require(sent == fuzz::Expanded(body), "no tag on: the body passes as it is");
    return 0;
}
