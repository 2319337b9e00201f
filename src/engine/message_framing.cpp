#include "engine/message_framing.h"

#include <array>

#include "engine/header_edit.h"
#include "platform/ascii_case.h"

namespace korvanel {
namespace {

constexpr std::size_t kNotFound = std::string_view::npos;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// tchar of RFC 9110: the characters of a token.
bool IsTokenChar(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    constexpr std::string_view kMarks = "!#$%&'*+-.^_`|~";
    return kMarks.find(c) != kNotFound;
}

bool IsToken(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text) {
        if (!IsTokenChar(c)) return false;
    }
    return true;
}

// A field value may hold visible characters, bytes of 0x80 and above, blanks and tabs.
bool IsFieldValue(std::string_view text) {
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\t') || byte == 0x7f) return false;
    }
    return true;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// Codings a request may carry before the final "chunked"; the origin undoes them.
constexpr std::array<std::string_view, 5> kKnownCodings = {"gzip", "x-gzip", "deflate", "compress",
                                                           "x-compress"};

bool IsKnownCoding(std::string_view coding) {
    for (std::string_view known : kKnownCodings) {
        if (SameIgnoringCase(coding, known)) return true;
    }
    return false;
}

// What the Transfer-Encoding lines say, element by element across all of them.
struct Codings {
    bool any = false;        // a Transfer-Encoding line was seen
    int elements = 0;        // codings named
    bool malformed = false;  // an element is not a token (with parameters)
    bool unknown = false;    // an element before the last is no coding known here
    int chunked_count = 0;   // elements that are "chunked"
    bool last_is_chunked = false;

    void Take(std::string_view value) {
        any = true;
        for (std::size_t start = 0; start <= value.size();) {
            std::size_t comma = value.find(',', start);
            if (comma == kNotFound) comma = value.size();
            std::string_view element = Trimmed(value.substr(start, comma - start));
            start = comma + 1;
            // Empty list elements are allowed and mean nothing.
            if (element.empty()) continue;
            ++elements;
            std::string_view coding = element;
            if (std::size_t semicolon = element.find(';'); semicolon != kNotFound) {
                coding = Trimmed(element.substr(0, semicolon));
                // "chunked" takes no parameters.
                if (SameIgnoringCase(coding, "chunked")) malformed = true;
            }
            if (!IsToken(coding)) {
                malformed = true;
            } else if (SameIgnoringCase(coding, "chunked")) {
                ++chunked_count;
                last_is_chunked = true;
                continue;
            } else if (!IsKnownCoding(coding)) {
                unknown = true;
            }
            last_is_chunked = false;
        }
    }
};

// The Content-Length lines: every value, and every element of a list value, must be the
// same decimal number.
struct Lengths {
    bool any = false;
    bool malformed = false;
    std::int64_t value = -1;

    void Take(std::string_view text) {
        any = true;
        for (std::size_t start = 0; start <= text.size();) {
            std::size_t comma = text.find(',', start);
            if (comma == kNotFound) comma = text.size();
            TakeOne(Trimmed(text.substr(start, comma - start)));
            start = comma + 1;
        }
    }

    void TakeOne(std::string_view digits) {
        if (digits.empty()) {
            malformed = true;
            return;
        }
        std::int64_t number = 0;
        for (char c : digits) {
            if (c < '0' || c > '9') {
                malformed = true;
                return;
            }
            int digit = c - '0';
            if (number > (INT64_MAX - digit) / 10) {
                malformed = true;
                return;
            }
            number = number * 10 + digit;
        }
        if (value >= 0 && value != number) malformed = true;
        value = number;
    }
};

}  // namespace

Framing ReadFraming(std::string_view block, std::string_view terminator, MessageSide side) {
    Framing framing;
    const std::string_view line_end = LineEndOf(terminator);
    if (line_end.empty()) {
        framing.verdict = FramingVerdict::kMalformed;
        return framing;
    }
    Codings codings;
    Lengths lengths;
    bool malformed = false;
    for (std::size_t start = 0; start < block.size() && !malformed;) {
        std::size_t end = block.find(line_end, start);
        if (end == kNotFound) end = block.size();
        std::string_view line = block.substr(start, end - start);
        start = end + line_end.size();
        // A reader of bare line feeds takes a carriage return before one as part of it.
        if (line_end == "\n" && line.ends_with('\r')) line.remove_suffix(1);
        // The blank line ends the header lines.
        if (line.empty()) break;
        std::size_t colon = line.find(':');
        if (colon == kNotFound) {
            malformed = true;
            break;
        }
        std::string_view name = line.substr(0, colon);
        std::string_view value = Trimmed(line.substr(colon + 1));
        // A name that is no token catches a blank before the colon and a folded line too.
        if (!IsToken(name) || !IsFieldValue(value)) {
            malformed = true;
        } else if (SameIgnoringCase(name, "Transfer-Encoding")) {
            codings.Take(value);
        } else if (SameIgnoringCase(name, "Content-Length")) {
            lengths.Take(value);
        }
    }
    if (malformed || codings.malformed || lengths.malformed || (codings.any && lengths.any) ||
        (codings.any && codings.elements == 0)) {
        framing.verdict = FramingVerdict::kMalformed;
        return framing;
    }
    framing.length = lengths.value;
    if (!codings.any) return framing;
    if (side == MessageSide::kRequest) {
        // Only a body whose last coding is chunking has an end a reader can find.
        if (codings.unknown) {
            framing.verdict = FramingVerdict::kUnknownCoding;
        } else if (!codings.last_is_chunked || codings.chunked_count != 1) {
            framing.verdict = FramingVerdict::kMalformed;
        } else {
            framing.chunked = true;
        }
        return framing;
    }
    // An answer chunked more than once, or chunked before another coding, has no end a
    // reader can trust; one whose codings end otherwise runs until the connection closes.
    if (codings.chunked_count > 1 || (codings.chunked_count == 1 && !codings.last_is_chunked)) {
        framing.verdict = FramingVerdict::kMalformed;
        return framing;
    }
    framing.chunked = codings.last_is_chunked;
    return framing;
}

}  // namespace korvanel
