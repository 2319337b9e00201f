// What the tag filter targets share: tag rows switched on by input bits, and the expansion
// a text gets when no tag is switched on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/tag_filter.h"

namespace korvanel::fuzz {

// The program's tag rows, row i switched on when bit i of `bits` is set.
inline TagSwitches TagsFor(std::uint64_t bits) {
    Settings settings;
    TagSwitches tags = settings.tag_switches;
    for (int i = 0; i < kTagSwitchCount; ++i) tags[i].value = (bits >> i) & 1 ? "1" : "0";
    return tags;
}

// Each mark byte of `text` written out the way ExpandMarks writes it.
inline std::string Expanded(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == kTagStartMark) {
            out += kExpandedTagStart;
        } else if (c == kTagEndMark) {
            out += kExpandedTagEnd;
        } else {
            out += c;
        }
    }
    return out;
}

// True when `filtered` is `text` with nothing lost: the expansion of its mark bytes, with
// only "<!--" and "-->" inserted, one of each per disabled tag.
inline bool KeepsEverything(std::string_view text, std::string_view filtered) {
    std::string base = Expanded(text);
    if (filtered.size() < base.size()) return false;
    std::size_t extra = filtered.size() - base.size();
    if (extra % 7 != 0) return false;
    std::size_t at = 0;
    for (char c : filtered) {
        if (at < base.size() && base[at] == c) ++at;
    }
    return at == base.size();
}

}  // namespace korvanel::fuzz
