// SplitHead and SplitBody over any head: the parts they give must put the head back
// together, and the body count must be exact.
#include "engine/head_split.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "fuzz_support.h"

using namespace korvanel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    std::string_view terminator = fuzz::TerminatorFor(data[0]);
    std::string_view line_end = LineEndOf(terminator);
    std::string_view head(reinterpret_cast<const char*>(data + 1), size - 1);

    auto start_line = std::make_unique<StartLine>();
    auto block = std::make_unique<HeaderBlock>();
    auto body = std::make_unique<HeadBody>();
    const bool split = SplitHead(head, terminator, *start_line, *block);
    fuzz::Use(start_line->view());
    fuzz::Use(block->view());
    if (!split) return 0;

    // The head reader never gives more than kMaxHeadLength bytes; within that, nothing is cut.
    if (head.size() <= kMaxHeadLength) {
        fuzz::Require(start_line->view().ends_with(line_end), "start line keeps its line end");
        fuzz::Require(head.starts_with(start_line->view()), "start line is the head's first line");
        std::string_view rest = head.substr(start_line->size());
        std::string expected_block = rest.starts_with(line_end)
                                         ? std::string(line_end) + std::string(rest)
                                         : std::string(rest);
        fuzz::Require(block->view() == expected_block, "header block is the rest of the head");
    }

    std::string whole_block = block->str();
    const bool cut = SplitBody(terminator, *block, *body);
    fuzz::Use(block->view());
    fuzz::Use(body->view());
    if (cut) {
        fuzz::Require(block->str() + body->str() == whole_block, "block and body make the block");
        fuzz::Require(block->view() == line_end || block->view().ends_with(terminator),
                      "block ends in the terminator");
    } else {
        fuzz::Require(block->view() == whole_block && body->empty(), "failed cut changes nothing");
    }
    return 0;
}
