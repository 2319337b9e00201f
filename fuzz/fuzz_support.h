// Helpers shared by the fuzz targets: a sink that keeps the optimiser from dropping the
// reads under test, a check that turns a broken promise into a crash libFuzzer reports,
// and the line-end conventions of the head reader.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace korvanel::fuzz {

// Every result goes through here, so every byte a function wrote is read once more.
inline volatile std::uint64_t sink = 0;

inline void Use(std::string_view text) {
    std::uint64_t sum = text.size();
    for (char c : text) sum = sum * 31 + static_cast<unsigned char>(c);
    sink = sink + sum;
}

inline void Use(std::int64_t number) {
    sink = sink + static_cast<std::uint64_t>(number);
}

// Aborts with `what` when `condition` does not hold.
inline void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "broken promise: %s\n", what);
        std::abort();
    }
}

// The three terminators the head reader accepts, chosen by one byte of input.
inline constexpr std::array<std::string_view, 3> kTerminators = {"\r\n\r\n", "\n\n", "\r\r"};

inline std::string_view TerminatorFor(std::uint8_t choice) {
    return kTerminators[choice % kTerminators.size()];
}

}  // namespace korvanel::fuzz
