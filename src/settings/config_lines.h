// Line handling of the configuration file: pure functions over text already in memory.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace korvanel {

// Far above the largest file the lists allow (about 130 KB); a larger file is not ours.
inline constexpr std::size_t kConfigMaxFileBytes = 1024 * 1024;

// Walks the lines of a file. A line ends after LF or at the end of the text; its value is
// the text before the first CR or LF.
class ConfigLineCursor {
  public:
    explicit ConfigLineCursor(std::string_view text) : text_(text) {}

    enum Result { kLine = 1, kEnd = 0, kDamaged = -1 };
    // kDamaged: the line holds a NUL byte. A line of any length is read whole; the values
    // too long for their fields are cut when they are stored.
    Result Next(std::string_view& value);

    // The number of the line Next read last, counting from 1.
    std::size_t line_number() const { return line_number_; }

  private:
    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t line_number_ = 0;
};

// Appends `text` and the CR LF that ends every line of the file.
void AppendConfigLine(std::string& out, std::string_view text);

// Splits a row into `count` parts: the first count - 1 are separated by ":" (a run of ":"
// counts as one separator, and leading ":" are skipped), the last is everything after the
// one ":" that ends part count - 1. False when a part is missing (empty).
bool SplitConfigRow(std::string_view row, std::size_t count, std::string_view* parts);

// Reads a decimal int with an optional "-" sign, the whole text; false on anything else or
// when the number does not fit an int.
bool ParseConfigInt(std::string_view text, int& number);

}  // namespace korvanel
