#include "runtime/front_end.h"

namespace korvanel {

namespace {
bool IsContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}
}  // namespace

std::size_t CountCharacters(std::string_view text) {
    std::size_t count = 0;
    for (char c : text) {
        if (!IsContinuation(c)) ++count;
    }
    return count;
}

void AppendTrimmed(std::string& pane, std::string_view text, std::size_t limit) {
    std::size_t adding = CountCharacters(text);
    if (CountCharacters(pane) + adding >= limit) {
        // Skip `adding` characters from the front, whole code points only.
        std::size_t cut = 0;
        std::size_t skipped = 0;
        while (cut < pane.size() && skipped < adding) {
            ++cut;
            while (cut < pane.size() && IsContinuation(pane[cut])) ++cut;
            ++skipped;
        }
        pane.erase(0, cut);
    }
    pane.append(text);
}

}  // namespace korvanel
