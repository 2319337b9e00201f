// NormaliseStatusLine over any line: a rewritten line is well formed and rewriting it
// again changes nothing.
#include "engine/status_line.h"

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
    std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    auto line = std::make_unique<StartLine>(text);
    const bool result = NormaliseStatusLine(terminator, *line);
    fuzz::Use(line->view());
    if (!result) {
        fuzz::Require(line->view() == StartLine(text).view(), "a refused line stays as it was");
        return 0;
    }
    std::string_view written = line->view();
    fuzz::Require(written.starts_with("HTTP/1.") && written.ends_with(line_end),
                  "normalised line has its version and line end");
    // Version (at most 10), blank, code, blank, reason (at most 128), line end.
    fuzz::Require(written.size() <= 10 + 1 + 3 + 1 + kMaxReasonLength + line_end.size(),
                  "normalised line stays within its fields' limits");
    std::string once = line->str();
    fuzz::Require(NormaliseStatusLine(terminator, *line) && line->view() == once,
                  "normalising twice changes nothing");
    return 0;
}
