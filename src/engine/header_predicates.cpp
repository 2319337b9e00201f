#include "engine/header_predicates.h"

#include <array>
#include <cstdint>
#include <span>

#include "engine/header_edit.h"
#include "engine/message_buffers.h"
#include "platform/ascii_case.h"

namespace korvanel {
namespace {

constexpr std::size_t kContentLengthMinBlock = 14;
constexpr std::size_t kHtmlMinBlock = 23;
constexpr std::size_t kChunkedMinBlock = 26;
constexpr std::size_t kCloseMinBlock = 11;
constexpr std::size_t kKeepAliveMinBlock = 22;
constexpr std::size_t kProxyKeepAliveMinBlock = 28;

constexpr std::array<std::string_view, 4> kContentLengthTexts = {
    "Content-Length: ", "Content-length: ", "content-length: ", "CONTENT-LENGTH: "};
constexpr std::array<std::string_view, 4> kHtmlTexts = {
    "Content-Type: text/html", "Content-type: text/html", "content-type: text/html",
    "CONTENT-TYPE: text/html"};
constexpr std::array<std::string_view, 4> kTransferEncodingTexts = {
    "Transfer-encoding: ", "Transfer-Encoding: ", "transfer-encoding: ", "TRANSFER-ENCODING: "};
constexpr std::array<std::string_view, 3> kChunkedValues = {"chunked", "Chunked", "CHUNKED"};
constexpr std::array<std::string_view, 8> kCloseTexts = {
    "Connection: close", "Connection: Close", "connection: close", "CONNECTION: close",
    "nnCoection: close", "Cneonction: close", "Coection: close",   "nncoection: close"};
constexpr std::array<std::string_view, 3> kConnectionTexts = {
    "Connection: ", "connection: ", "CONNECTION: "};
constexpr std::array<std::string_view, 4> kProxyConnectionTexts = {
    "Proxy-Connection: ", "Proxy-connection: ", "proxy-connection: ", "PROXY-CONNECTION: "};
constexpr std::array<std::string_view, 4> kKeepAliveValues = {"Keep-Alive", "Keep-alive",
                                                              "keep-alive", "KEEP-ALIVE"};
constexpr std::array<std::string_view, 3> kExpectTexts = {"Expect: ", "expect: ", "EXPECT: "};
constexpr std::array<std::string_view, 3> kContinueValues = {"100-continue", "100-Continue",
                                                             "100-CONTINUE"};

constexpr std::size_t kNotFound = std::string_view::npos;

// The text after the first of `texts` found at a line start (in list order), or npos.
std::size_t FindValue(std::string_view block, std::span<const std::string_view> texts,
                      std::string_view terminator) {
    for (std::string_view text : texts) {
        std::size_t at = FindAtLineStart(block, text, terminator);
        if (at != kNotFound) return at + text.size();
    }
    return kNotFound;
}

bool AnyAtLineStart(std::string_view block, std::span<const std::string_view> texts,
                    std::string_view terminator) {
    return FindValue(block, texts, terminator) != kNotFound;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// True when the comma-separated list `value` holds `token` (letters in either case).
bool HasToken(std::string_view value, std::string_view token) {
    for (std::size_t start = 0; start <= value.size();) {
        std::size_t comma = value.find(',', start);
        if (comma == kNotFound) comma = value.size();
        if (SameIgnoringCase(Trimmed(value.substr(start, comma - start)), token)) return true;
        start = comma + 1;
    }
    return false;
}

// Calls take(name, value) for each "name: value" line of `block` (the value without the
// blanks around it) until it returns true; true when one did.
template <typename Take>
bool AnyField(std::string_view block, std::string_view terminator, Take take) {
    const std::string_view line_end = LineEndOf(terminator);
    if (line_end.empty()) return false;
    for (std::size_t start = 0; start < block.size();) {
        std::size_t end = block.find(line_end, start);
        if (end == kNotFound) end = block.size();
        std::string_view line = block.substr(start, end - start);
        start = end + line_end.size();
        std::size_t colon = line.find(':');
        if (colon != kNotFound && take(line.substr(0, colon), Trimmed(line.substr(colon + 1)))) {
            return true;
        }
    }
    return false;
}

// True when the value found for `names` begins with one of `values` (all of one length).
bool FirstValueIs(std::string_view block, std::span<const std::string_view> names,
                  std::span<const std::string_view> values, std::string_view terminator) {
    std::size_t at = FindValue(block, names, terminator);
    if (at == kNotFound) return false;
    std::string_view value = block.substr(at);
    for (std::string_view wanted : values) {
        if (value.starts_with(wanted)) return true;
    }
    return false;
}

// Leading blanks, an optional "+", then decimal digits; -2 without digits or on overflow.
std::int64_t ReadLength(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
    if (at < text.size() && text[at] == '+') ++at;
    std::int64_t length = 0;
    std::size_t digits = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, ++digits) {
        int digit = text[at] - '0';
        if (length > (INT64_MAX - digit) / 10) return -2;
        length = length * 10 + digit;
    }
    return digits == 0 ? -2 : length;
}

}  // namespace

std::int64_t ContentLength(std::string_view block, std::string_view terminator) {
    if (block.size() < kContentLengthMinBlock) return -2;
    std::size_t at = FindValue(block, kContentLengthTexts, terminator);
    if (at == kNotFound) return -1;
    std::string_view line_end = LineEndOf(terminator);
    std::size_t end = line_end.empty() ? kNotFound : block.find(line_end, at);
    if (end == kNotFound) return -2;
    return ReadLength(block.substr(at, end - at));
}

bool IsHtml(std::string_view block, std::string_view terminator) {
    if (block.size() < kHtmlMinBlock) return false;
    return AnyAtLineStart(block, kHtmlTexts, terminator);
}

bool IsChunked(std::string_view block, std::string_view terminator) {
    if (block.size() < kChunkedMinBlock) return false;
    return FirstValueIs(block, kTransferEncodingTexts, kChunkedValues, terminator);
}

bool HasConnectionClose(std::string_view block, std::string_view terminator) {
    if (block.size() < kCloseMinBlock) return false;
    return AnyAtLineStart(block, kCloseTexts, terminator);
}

bool HasConnectionKeepAlive(std::string_view block, std::string_view terminator) {
    if (block.size() < kKeepAliveMinBlock) return false;
    return FirstValueIs(block, kConnectionTexts, kKeepAliveValues, terminator);
}

bool HasProxyKeepAlive(std::string_view block, std::string_view terminator) {
    if (block.size() < kProxyKeepAliveMinBlock) return false;
    return FirstValueIs(block, kProxyConnectionTexts, kKeepAliveValues, terminator);
}

bool ExpectsContinue(std::string_view block, std::string_view terminator) {
    return FirstValueIs(block, kExpectTexts, kContinueValues, terminator);
}

std::string_view FieldValue(std::string_view block, std::string_view terminator,
                            std::string_view name) {
    std::string_view found;
    AnyField(block, terminator, [&](std::string_view field, std::string_view value) {
        if (!SameIgnoringCase(field, name)) return false;
        found = value;
        return true;
    });
    return found;
}

bool AsksForUpgrade(std::string_view block, std::string_view terminator) {
    bool upgrade = false;
    bool connection_says_so = false;
    AnyField(block, terminator, [&](std::string_view name, std::string_view value) {
        if (SameIgnoringCase(name, "Upgrade") && !value.empty()) upgrade = true;
        if (SameIgnoringCase(name, "Connection") && HasToken(value, "upgrade")) {
            connection_says_so = true;
        }
        return false;
    });
    return upgrade && connection_says_so;
}

}  // namespace korvanel
