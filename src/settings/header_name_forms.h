// The four spellings kept with every header rule, so that a connection handler can find a
// header whatever the case of its name (names are matched case-sensitively, line start only).
#pragma once

#include <string_view>

#include "platform/fixed_text.h"

namespace korvanel {

inline constexpr std::size_t kHeaderNameMaxLength = 64;

struct HeaderNameForms {
    FixedText<66> name;         // lower case, but a first letter a-z made upper: "Content-type"
    FixedText<66> lower;        // "content-type"
    FixedText<66> upper;        // "CONTENT-TYPE"
    FixedText<66> capitalised;  // first letter and every letter after "-" upper: "Content-Type"
};

// Each form is cut to 64 characters. Only a-z and A-Z change case; other bytes are kept.
HeaderNameForms MakeHeaderNameForms(std::string_view name);

}  // namespace korvanel
