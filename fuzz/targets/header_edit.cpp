// EditHeader, DeleteAllHeaders, ReplaceHeader and the rule and request edits built on them,
// over any header block and any header name a rule may carry.
#include "engine/header_edit.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/header_rules.h"
#include "fuzz_support.h"
#include "settings/header_name_forms.h"
#include "settings/row_makers.h"
#include "settings/row_validation.h"

using namespace korvanel;

namespace {

// A block as SplitBody leaves it: a single line end, or lines ending in the one terminator.
bool IsWellFormed(std::string_view block, std::string_view terminator) {
    if (block == LineEndOf(terminator)) return true;
    return block.ends_with(terminator) &&
           block.find(terminator) == block.size() - terminator.size();
}

bool HasLineEndByte(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

// A name the header rule pages and the configuration reader accept.
bool IsRuleName(std::string_view name) {
    return !name.empty() && name.size() <= kHeaderNameMaxLength && IsPrintableText(name) &&
           name.find(':') == std::string_view::npos;
}

bool AnyFound(std::string_view block, const std::array<std::string_view, 4>& names,
              std::string_view terminator) {
    for (std::string_view name : names) {
        if (FindHeaderAtLineStart(block, name, terminator) != std::string_view::npos) return true;
    }
    return false;
}

// Adding a header that is not there and deleting it again gives the block back.
void CheckAddThenDelete(const HeaderBlock& original, const std::array<std::string_view, 4>& names,
                        std::string_view value, std::string_view terminator) {
    std::string_view line_end = LineEndOf(terminator);
    if (!IsRuleName(names[0]) || HasLineEndByte(value)) return;
    if (!IsWellFormed(original.view(), terminator)) return;
    if (FindHeaderAtLineStart(original.view(), names[0], terminator) != std::string_view::npos) {
        return;
    }
    auto block = std::make_unique<HeaderBlock>(original);
    int added = EditHeader(*block, kEditAdd, names, value, terminator);
    fuzz::Use(block->view());
    if (added == -1) {
        fuzz::Require(block->view() == original.view(), "a line that does not fit changes nothing");
        return;
    }
    fuzz::Require(added == 1, "adding gives 1 or -1");
    fuzz::Require(block->view().ends_with(terminator), "the block still ends in its terminator");
    fuzz::Require(EditHeader(*block, kEditDeleteOne, names, "", terminator) == 0,
                  "the added line is found and deleted");
    std::string expected = original.str();
    // A block without header lines may come as two line ends; one is the same head.
    if (expected == std::string(line_end) + std::string(line_end)) expected = line_end;
    fuzz::Require(block->view() == expected, "add then delete gives the block back");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    std::string_view terminator = fuzz::TerminatorFor(input.ConsumeIntegral<std::uint8_t>());
    int mode = input.ConsumeIntegralInRange<int>(0, 3);
    bool http10 = input.ConsumeBool();
    bool filter = input.ConsumeBool();
    bool cookies = input.ConsumeBool();
    std::string name = input.ConsumeRandomLengthString(kHeaderNameMaxLength + 2);
    std::string value = input.ConsumeRandomLengthString(200);
    std::string agent = input.ConsumeRandomLengthString(260);
    std::string text = input.ConsumeRemainingBytesAsString();

    HeaderNameForms forms = MakeHeaderNameForms(name);
    const std::array<std::string_view, 4> names = {forms.name.view(), forms.lower.view(),
                                                   forms.upper.view(), forms.capitalised.view()};
    auto original = std::make_unique<HeaderBlock>(text);
    CheckAddThenDelete(*original, names, value, terminator);

    auto block = std::make_unique<HeaderBlock>(*original);
    int edited = EditHeader(*block, mode, names, value, terminator);
    fuzz::Use(block->view());
    if (mode >= 2) {
        fuzz::Require(edited == (AnyFound(original->view(), names, terminator) ? -1 : 1),
                      "the test mode tells whether a spelling is there");
    }

    if (IsRuleName(name) && IsWellFormed(original->view(), terminator)) {
        auto cleared = std::make_unique<HeaderBlock>(*original);
        DeleteAllHeaders(*cleared, names, terminator);
        fuzz::Use(cleared->view());
        fuzz::Require(!AnyFound(cleared->view(), names, terminator), "every spelling is removed");
        int replaced = ReplaceHeader(*cleared, names, value, terminator);
        fuzz::Use(cleared->view());
        fuzz::Require(replaced == 1 || replaced == -1, "ReplaceHeader gives 1 or -1");
    }

    HeaderRuleList rules;
    AppendHeaderRule(rules, 1, mode, name, value);
    AppendHeaderRule(rules, 1, (mode + 1) % 4, agent, value);
    ApplyHeaderRules(*block, rules, terminator);
    RequestEdits edits{agent, filter, http10, cookies};
    ApplyRequestEdits(*block, edits, terminator);
    RemoveSetCookies(*block, terminator);
    FrameFilteredAnswer(*block, terminator);
    fuzz::Use(block->view());
    return 0;
}
