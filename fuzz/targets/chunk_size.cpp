// ParseChunkSize over any size line: a size it gives is the hexadecimal number at the start
// of the line's first token, and anything it cannot read whole is -1.
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/body_relay.h"
#include "fuzz_support.h"

using namespace korvanel;

namespace {

bool IsSeparator(char c) {
    return c == ' ' || c == '[' || c == '\r' || c == '\n';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view line(reinterpret_cast<const char*>(data), size);
    long long parsed = ParseChunkSize(line);
    fuzz::Use(parsed);
    fuzz::Require(parsed >= -1, "ParseChunkSize gives a size or -1");

    std::size_t at = 0;
    while (at < line.size() && IsSeparator(line[at])) ++at;
    long long expected = -1;
    auto [end, error] = std::from_chars(line.data() + at, line.data() + line.size(), expected, 16);
    bool read =
        error == std::errc() && end != line.data() + at && line[at] != '-' && line[at] != '+';
    bool clean_end =
        end == line.data() + line.size() || IsSeparator(*end) || *end == ';' || *end == '\t';
    if (read && clean_end) {
        fuzz::Require(parsed == expected, "the size is the line's hexadecimal number");
    } else if (error != std::errc::result_out_of_range) {
        fuzz::Require(parsed == -1, "a line without a readable size gives -1");
    } else {
        fuzz::Require(parsed == -1, "a size beyond 63 bits gives -1");
    }
    return 0;
}
