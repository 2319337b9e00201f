// The header block questions over any block: each answers within its stated results.
#include "engine/header_predicates.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/header_edit.h"
#include "fuzz_support.h"

using namespace korvanel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    std::string_view terminator = fuzz::TerminatorFor(data[0]);
    std::string_view block(reinterpret_cast<const char*>(data + 1), size - 1);

    std::int64_t length = ContentLength(block, terminator);
    fuzz::Use(length);
    fuzz::Require(length >= -2, "ContentLength gives a length, -1 or -2");
    const int said = IsHtml(block, terminator) + IsChunked(block, terminator) +
                     HasConnectionClose(block, terminator) +
                     HasConnectionKeepAlive(block, terminator) +
                     HasProxyKeepAlive(block, terminator);
    fuzz::Use(said);

    // The search rule itself, with a needle taken from the block's own start.
    std::string_view needle = block.substr(0, data[0] % 8);
    std::size_t at = FindAtLineStart(block, needle, terminator);
    if (at != std::string_view::npos) {
        fuzz::Require(block.substr(at).starts_with(needle), "found text is at its position");
        fuzz::Require(at == 0 || block[at - 1] == terminator.back(), "found text starts a line");
    }
    std::size_t header = FindHeaderAtLineStart(block, needle, terminator);
    if (header != std::string_view::npos) {
        fuzz::Require(block.substr(header + needle.size()).starts_with(": "),
                      "found header name is followed by \": \"");
    }
    fuzz::Use(static_cast<std::int64_t>(at + header));
    return 0;
}
