#include "engine/status_line.h"

#include "engine/text_fields.h"

namespace korvanel {
namespace {

constexpr std::size_t kStatusCodeLength = 3;
constexpr std::size_t kMaxStatusVersionLength = 10;

bool IsStatusCode(std::string_view code) {
    if (code.size() != kStatusCodeLength) return false;
    for (char c : code) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// The reason phrase: from the first non-blank after the code up to the first CR or LF.
std::string_view ReadReason(std::string_view line, std::size_t at) {
    while (at < line.size() && IsBlank(line[at]) && line[at] != '\r' && line[at] != '\n') ++at;
    std::size_t end = at;
    while (end < line.size() && line[end] != '\r' && line[end] != '\n') ++end;
    std::string_view reason = line.substr(at, end - at);
    return reason.substr(0, kMaxReasonLength);
}

}  // namespace

bool NormaliseStatusLine(std::string_view terminator, StartLine& status_line) {
    if (status_line.size() > kMaxHeadLength) return false;
    std::string_view line = status_line.view();
    std::size_t at = 0;
    std::string_view version = NextField(line, at);
    std::string_view code = NextField(line, at);
    if (code.empty() || version.size() > kMaxStatusVersionLength) return false;
    std::string_view reason = ReadReason(line, at);
    if (reason.size() < 2) reason = kPlaceholderReason;
    if (!version.starts_with("HTTP/1.") || !IsStatusCode(code)) return false;

    FixedText<StartLine::kCapacity> built;
    built.assign(version);
    built.append(" ");
    built.append(code);
    built.append(" ");
    built.append(reason);
    built.append(LineEndOf(terminator));
    status_line.assign(built.view());
    return true;
}

}  // namespace korvanel
