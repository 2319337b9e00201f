#include "checker/anonymity.h"

#include <string>

namespace korvanel {

namespace {

constexpr int kMaxIdentityTexts = 60;

bool Holds(std::string_view body, std::string_view text) {
    return body.find(text) != std::string_view::npos;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// Three non-empty parts ended by ".", then a non-empty word (leading white space skipped).
bool SplitFourParts(std::string_view address, std::string_view (&parts)[4]) {
    std::string_view rest = address;
    for (int i = 0; i < 3; ++i) {
        std::size_t dot = rest.find('.');
        if (dot == 0 || dot == std::string_view::npos) return false;
        parts[i] = rest.substr(0, dot);
        rest.remove_prefix(dot + 1);
    }
    while (!rest.empty() && IsSpace(rest.front())) rest.remove_prefix(1);
    std::size_t end = 0;
    while (end < rest.size() && !IsSpace(rest[end])) ++end;
    if (end == 0) return false;
    parts[3] = rest.substr(0, end);
    return true;
}

}  // namespace

bool RevealsExternalAddress(std::string_view body, std::string_view external_address) {
    if (Holds(body, external_address)) return true;
    std::string_view parts[4];
    if (!SplitFourParts(external_address, parts)) return true;
    std::string dashed;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) dashed += '-';
        dashed += parts[i];
    }
    return Holds(body, dashed);
}

bool RevealsLocalIdentity(std::string_view body, const LocalIdentityList& list) {
    for (int i = 0; i < kMaxIdentityTexts && i < kIdentitySlots; ++i) {
        const std::string& text = list.texts[i];
        if (text.empty()) break;
        if (Holds(body, text)) return true;
    }
    return false;
}

}  // namespace korvanel
