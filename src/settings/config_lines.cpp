#include "settings/config_lines.h"

#include <climits>

namespace korvanel {

ConfigLineCursor::Result ConfigLineCursor::Next(std::string_view& value) {
    if (pos_ >= text_.size()) return kEnd;
    std::size_t end = text_.find('\n', pos_);
    end = end == std::string_view::npos ? text_.size() : end + 1;
    std::string_view line = text_.substr(pos_, end - pos_);
    pos_ = end;
    ++line_number_;
    if (line.find('\0') != std::string_view::npos) return kDamaged;
    value = line.substr(0, line.find_first_of("\r\n"));
    return kLine;
}

void AppendConfigLine(std::string& out, std::string_view text) {
    out.append(text);
    out.append("\r\n");
}

bool SplitConfigRow(std::string_view row, std::size_t count, std::string_view* parts) {
    std::size_t pos = 0;
    for (std::size_t i = 0; i + 1 < count; ++i) {
        while (pos < row.size() && row[pos] == ':') ++pos;
        std::size_t end = row.find(':', pos);
        if (pos >= row.size() || end == std::string_view::npos) return false;
        parts[i] = row.substr(pos, end - pos);
        pos = end + 1;
    }
    parts[count - 1] = row.substr(pos);
    return !parts[count - 1].empty();
}

bool ParseConfigInt(std::string_view text, int& number) {
    bool negative = !text.empty() && text[0] == '-';
    if (negative) text.remove_prefix(1);
    if (text.empty()) return false;
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) return false;
    }
    if (negative) value = -value;
    if (value > INT_MAX || value < INT_MIN) return false;
    number = static_cast<int>(value);
    return true;
}

}  // namespace korvanel
