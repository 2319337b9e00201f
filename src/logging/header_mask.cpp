#include "logging/header_mask.h"

#include "platform/ascii_case.h"

namespace korvanel {

namespace {

constexpr std::string_view kName = "proxy-authorization:";

bool IsLoginLine(std::string_view line) {
    return line.size() >= kName.size() && SameIgnoringCase(line.substr(0, kName.size()), kName);
}

// The line with what follows its scheme word masked; a line without a scheme masked whole.
void AppendMasked(std::string_view line, std::string& out) {
    std::size_t end = line.find_first_of("\r\n");
    std::string_view ending = end == std::string_view::npos ? std::string_view() : line.substr(end);
    std::string_view field = line.substr(0, end);
    std::size_t value = kName.size();
    while (value < field.size() && (field[value] == ' ' || field[value] == '\t')) ++value;
    std::size_t scheme_end = field.find_first_of(" \t", value);
    if (scheme_end == std::string_view::npos) scheme_end = value;
    out.append(field.substr(0, scheme_end));
    if (scheme_end > value) out.push_back(' ');
    out.append(kMaskedCredentials);
    out.append(ending);
}

}  // namespace

std::string_view MaskProxyCredentials(std::string_view headers, std::string& scratch) {
    // Lines end in LF, CR LF or CR alone (a head keeps its own line end).
    auto next_line = [&headers](std::size_t start) {
        std::size_t end = headers.find_first_of("\r\n", start);
        if (end == std::string_view::npos) return headers.size();
        if (headers[end] == '\r' && end + 1 < headers.size() && headers[end + 1] == '\n') ++end;
        return end + 1;
    };
    bool found = false;
    for (std::size_t start = 0; start < headers.size() && !found; start = next_line(start)) {
        found = IsLoginLine(headers.substr(start));
    }
    if (!found) return headers;
    scratch.clear();
    for (std::size_t start = 0; start < headers.size();) {
        std::size_t end = next_line(start);
        std::string_view line = headers.substr(start, end - start);
        if (IsLoginLine(line)) {
            AppendMasked(line, scratch);
        } else {
            scratch.append(line);
        }
        start = end;
    }
    return scratch;
}

}  // namespace korvanel
