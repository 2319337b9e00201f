#include "platform/dotted_quad.h"

#include <cstdlib>

#include "platform/fixed_text.h"

namespace korvanel {

namespace {

// One decimal number as "%d" reads it: optional blanks and sign, then digits. Returns false
// when no digit is there; `value` saturates instead of overflowing.
bool ReadNumber(const char*& cursor, long& value) {
    char* end = nullptr;
    value = std::strtol(cursor, &end, 10);
    if (end == cursor) return false;
    cursor = end;
    return true;
}

}  // namespace

bool ReadDottedQuad(std::string_view text, uint32_t& address) {
    FixedText<64> copy(text);
    const char* cursor = copy.c_str();
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (*cursor != '.') return false;
            ++cursor;
        }
        long number = 0;
        if (!ReadNumber(cursor, number)) return false;
        // A negative part is not an address either.
        if (number < 0 || number > 255) return false;
        value = (value << 8) | static_cast<uint32_t>(number);
    }
    address = value;
    return true;
}

int ParseDottedQuad(std::string_view text) {
    uint32_t address = 0;
    return ReadDottedQuad(text, address) ? 1 : -1;
}

}  // namespace korvanel
